#include "platform/gui/WidgetDialogs.h"

#include "platform/data/GuiThread.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace quorvex {
namespace {

// Escape and the window's close button end the alert with the "Cancel" button's code, or with
// the only button's; an alert with several buttons and no Cancel must be answered by a button.
//
// Return and Enter go to the focused button when one has the focus, as Space does: a user who
// moved to "Cancel" and pressed Return cancels. From anywhere else (a text field of the accessory)
// they go to the default button, if any.
class AlertDialog final : public QDialog {
public:
    using QDialog::QDialog;
    int escapeCode = -1;

    void reject() override {
        if (escapeCode >= 0)
            done(escapeCode);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && modifiers == Qt::NoModifier)
            if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && isAncestorOf(button)) {
                if (button->isEnabled())
                    button->click();
                return;
            }
        QDialog::keyPressEvent(event);
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
    // The title is the program's name: a screen reader reads the message with it.
    dialog.setAccessibleDescription(
        alert.informativeText.isEmpty() ? alert.message : alert.message + u' ' + alert.informativeText);

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

    // The first button sits at the trailing end, the others before it. It is the default, unless
    // it destroys something: then Cancel is (or no button), so Return never deletes by habit.
    auto* row = new QHBoxLayout;
    row->addStretch();
    QPushButton* defaultButton = nullptr;
    QPushButton* cancelButton = nullptr;
    const bool destructiveFirst = buttons.front().destructive;
    for (int index = static_cast<int>(buttons.size()) - 1; index >= 0; --index) {
        const AlertButton& spec = buttons[static_cast<size_t>(index)];
        // "&" would mark a mnemonic and vanish from the title; a title is shown as written.
        auto* button =
            new QPushButton(QString(spec.title).replace(QLatin1Char('&'), QLatin1String("&&")), &dialog);
        button->setObjectName(QStringLiteral("alertButton%1").arg(index));
        button->setProperty("destructive", spec.destructive);
        // Not auto-default: focusing a button would make it the default for good when the alert
        // has none, and Return in a field would then press it. A focused button gets Return from
        // the dialog instead.
        button->setAutoDefault(false);
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
        if (index == 0 && !destructiveFirst)
            defaultButton = button;
        if (spec.title == QLatin1String("Cancel")) {
            dialog.escapeCode = code;
            cancelButton = button;
        }
    }
    // Escape is the way out of a lone button, unless that button destroys something.
    if (buttons.size() == 1 && !destructiveFirst)
        dialog.escapeCode = Dialogs::kFirstButton;
    if (destructiveFirst)
        defaultButton = cancelButton;
    if (defaultButton)
        defaultButton->setDefault(true);

    auto* body = new QHBoxLayout;
    body->addWidget(icon, 0, Qt::AlignTop);
    body->addLayout(texts, 1);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(body);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    message->setMinimumWidth(260);

    // The focus widget must be set once the dialog is shown, or showing resets it. Without a
    // default the dialog itself takes the focus, so Space presses nothing either.
    QPointer<QWidget> focus = alert.initialFocus ? alert.initialFocus : defaultButton;
    QMetaObject::invokeMethod(
        &dialog,
        [&dialog, focus, accessory] {
            dialog.raise();
            dialog.activateWindow();
            if (focus)
                focus->setFocus(Qt::OtherFocusReason);
            else
                dialog.setFocus(Qt::OtherFocusReason);
            // A field that proposes a value has it selected, so typing replaces it.
            if (accessory)
                for (QLineEdit* field : accessory->findChildren<QLineEdit*>())
                    if (!field->isReadOnly() && !field->text().isEmpty())
                        field->selectAll();
            if (auto* field = qobject_cast<QLineEdit*>(accessory.data()); field && !field->isReadOnly())
                field->selectAll();
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
    // The given folder, else where the user was last, else home: never the process's working
    // folder, which QFileDialog would start in and which means nothing to the user.
    QString start;
    if (!panel.directory.empty())
        start = QFile::decodeName(QByteArray::fromStdString(panel.directory.string()));
    else if (!m_lastDirectory.isEmpty() && QFileInfo(m_lastDirectory).isDir())
        start = m_lastDirectory;
    else
        start = QDir::homePath();
    dialog.setDirectory(start);
    dialog.activateWindow();
    std::vector<std::filesystem::path> chosen;
    const int answer = dialog.exec();
    m_lastDirectory = dialog.directory().absolutePath();
    if (answer != QDialog::Accepted)
        return chosen;
    for (const QString& file : dialog.selectedFiles())
        chosen.emplace_back(QFile::encodeName(file).toStdString());
    return chosen;
}

} // namespace quorvex
