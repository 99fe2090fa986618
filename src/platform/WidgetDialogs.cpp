#include "platform/WidgetDialogs.h"

#include "platform/GuiThread.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace quorvex {
namespace {

// Escape and the window's close button end the alert with the "Cancel" button's code, or with
// the only button's; an alert with several buttons and no Cancel must be answered by a button.
class AlertDialog final : public QDialog {
public:
    using QDialog::QDialog;
    int escapeCode = -1;

    void reject() override {
        if (escapeCode >= 0)
            done(escapeCode);
    }
};

QIcon iconFor(Alert::Style style) {
    QStyle* widgetStyle = QApplication::style();
    switch (style) {
    case Alert::Style::Warning:
        return widgetStyle->standardIcon(QStyle::SP_MessageBoxWarning);
    case Alert::Style::Critical:
        return widgetStyle->standardIcon(QStyle::SP_MessageBoxCritical);
    case Alert::Style::Informational:
        break;
    }
    return widgetStyle->standardIcon(QStyle::SP_MessageBoxInformation);
}

} // namespace

int WidgetDialogs::runAlert(const Alert& alert) {
    Q_ASSERT(isGuiThread());
    AlertDialog dialog;
    dialog.setObjectName(QStringLiteral("alert"));
    dialog.setWindowTitle(QApplication::applicationDisplayName());
    dialog.setModal(true);

    auto* icon = new QLabel(&dialog);
    icon->setPixmap(iconFor(alert.style).pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);

    auto* message = new QLabel(alert.message, &dialog);
    message->setObjectName(QStringLiteral("alertMessage"));
    message->setTextFormat(Qt::PlainText);
    message->setWordWrap(true);
    QFont bold = message->font();
    bold.setBold(true);
    message->setFont(bold);

    auto* informative = new QLabel(alert.informativeText, &dialog);
    informative->setObjectName(QStringLiteral("alertInformativeText"));
    informative->setTextFormat(Qt::PlainText);
    informative->setWordWrap(true);
    informative->setVisible(!alert.informativeText.isEmpty());

    auto* texts = new QVBoxLayout;
    texts->addWidget(message);
    texts->addWidget(informative);
    QPointer<QWidget> accessory = alert.accessory;
    if (accessory)
        texts->addWidget(accessory);

    std::vector<AlertButton> buttons = alert.buttons;
    if (buttons.empty())
        buttons.push_back({QStringLiteral("OK"), false});

    // The first button is the default and sits at the trailing end, the others before it.
    auto* row = new QHBoxLayout;
    row->addStretch();
    QPushButton* first = nullptr;
    for (int index = static_cast<int>(buttons.size()) - 1; index >= 0; --index) {
        const AlertButton& spec = buttons[static_cast<size_t>(index)];
        auto* button = new QPushButton(spec.title, &dialog);
        button->setObjectName(QStringLiteral("alertButton%1").arg(index));
        button->setProperty("destructive", spec.destructive);
        if (spec.destructive) {
            QPalette palette = button->palette();
            palette.setColor(QPalette::ButtonText, QColor(0xd7, 0x26, 0x2e));
            button->setPalette(palette);
        }
        const int code = Dialogs::kFirstButton + index;
        QObject::connect(button, &QPushButton::clicked, &dialog, [&dialog, &alert, code] {
            if (code == Dialogs::kFirstButton && alert.acceptsFirstButton && !alert.acceptsFirstButton())
                return;
            dialog.done(code);
        });
        row->addWidget(button);
        if (index == 0)
            first = button;
        if (spec.title == QLatin1String("Cancel"))
            dialog.escapeCode = code;
    }
    if (buttons.size() == 1)
        dialog.escapeCode = Dialogs::kFirstButton;
    first->setDefault(true);
    first->setAutoDefault(true);

    auto* body = new QHBoxLayout;
    body->addWidget(icon, 0, Qt::AlignTop);
    body->addLayout(texts, 1);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(body);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    message->setMinimumWidth(260);

    // The focus widget must be set once the dialog is shown, or showing resets it.
    QWidget* focus = alert.initialFocus ? alert.initialFocus : first;
    QMetaObject::invokeMethod(
        &dialog,
        [&dialog, focus] {
            dialog.raise();
            dialog.activateWindow();
            focus->setFocus(Qt::OtherFocusReason);
        },
        Qt::QueuedConnection);
    const int result = dialog.exec();

    // The accessory belongs to the caller: take it out before the dialog deletes its children.
    if (accessory) {
        accessory->hide();
        accessory->setParent(nullptr);
    }
    return result;
}

std::vector<std::filesystem::path> WidgetDialogs::runOpenPanel(const OpenPanel& panel) {
    Q_ASSERT(isGuiThread());
    QFileDialog dialog;
    dialog.setObjectName(QStringLiteral("openPanel"));
    dialog.setWindowTitle(panel.message);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (panel.chooseFolders) {
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
    } else {
        dialog.setFileMode(panel.multipleSelection ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
        if (!panel.nameFilters.isEmpty())
            dialog.setNameFilter(panel.nameFilters.join(QLatin1Char(' ')));
    }
    if (!panel.prompt.isEmpty())
        dialog.setLabelText(QFileDialog::Accept, panel.prompt);
    if (!panel.directory.empty())
        dialog.setDirectory(QFile::decodeName(QByteArray::fromStdString(panel.directory.string())));
    dialog.activateWindow();
    std::vector<std::filesystem::path> chosen;
    if (dialog.exec() != QDialog::Accepted)
        return chosen;
    for (const QString& file : dialog.selectedFiles())
        chosen.emplace_back(QFile::encodeName(file).toStdString());
    return chosen;
}

} // namespace quorvex
