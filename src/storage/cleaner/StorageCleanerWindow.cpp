#include "storage/cleaner/StorageCleanerWindow.h"
#include "storage/cleaner/CleanerMotion.h"

#include "storage/cleaner/BusyToast.h"
#include "storage/cleaner/ConfirmationSheet.h"
#include "storage/cleaner/StorageCleanerView.h"
#include "tools/Environment.h"
#include "ui/DefaultAction.h"
#include "ui/FocusRing.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QGuiApplication>
#include <QMainWindow>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace quorvex {

namespace {

class FocusableToolButton final : public QToolButton {
public:
    using QToolButton::QToolButton;

protected:
    void paintEvent(QPaintEvent* event) override {
        QToolButton::paintEvent(event);
        QPainter painter(this);
        FocusRing::paint(painter, *this, QRectF(rect()), 6);
    }
};

} // namespace

StorageCleanerWindow::StorageCleanerWindow(Dependencies dependencies)
    : m_reporter(dependencies.hud)
    , m_model(std::move(dependencies.scanner), dependencies.trash, dependencies.gate, m_reporter,
              dependencies.spaceSaved)
    , m_spaceSaved(dependencies.spaceSaved)
    , m_keepsFrame(dependencies.keepsFrame) {
    if (dependencies.clock)
        CleanerMotion::install(m_model, *dependencies.clock);
    connect(&m_model, &StorageCleanerModel::cleanRefused, this, [] { showBusyToast(); });
}

StorageCleanerWindow::~StorageCleanerWindow() {
    delete m_sheet.data();
    delete m_window.data();
}

void StorageCleanerWindow::show(const std::optional<QString>& section,
                                const std::optional<SimulatorApp>& app) {
    using Section = StorageCleanerModel::Section;
    // Written on every show, so a show without an app lifts an earlier app's filter.
    if (app)
        m_model.setArchiveFilter(StorageCleanerModel::ArchiveFilter{app->id, app->name});
    else
        m_model.setArchiveFilter(std::nullopt);
    const std::optional<CleanupCategory::Kind> kind =
        section ? CleanupCategory::kindFromRawValue(*section) : std::nullopt;
    if (kind)
        m_model.setSection(Section::category(*kind));
    else if (app)
        m_model.setSection(Section::category(CleanupCategory::Kind::archives));
    else
        m_model.setSection(Section::overview());
    m_model.scan({CleanupCategory::allKinds.begin(), CleanupCategory::allKinds.end()});
    if (!m_window)
        m_window = makeWindow();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

QMainWindow* StorageCleanerWindow::makeWindow() {
    auto* window = new QMainWindow;
    window->setObjectName(QStringLiteral("storageCleanerWindow"));
    window->setWindowTitle(QStringLiteral("Storage Cleaner"));
    window->setUnifiedTitleAndToolBarOnMac(true);
    auto* view = new StorageCleanerView(
        m_model, m_spaceSaved, [this] { presentReview(); }, window);
    window->setCentralWidget(view);
    auto* toolbar = window->addToolBar(QStringLiteral("Storage Cleaner"));
    toolbar->setObjectName(QStringLiteral("toolbar"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    // A toolbar's own buttons take no focus; Rescan must be reachable by Tab and show its focus.
    auto* rescan = new FocusableToolButton(toolbar);
    rescan->setObjectName(QStringLiteral("rescanButton"));
    rescan->setDefaultAction(view->rescanAction());
    rescan->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    rescan->setAutoRaise(true);
    rescan->setFocusPolicy(Qt::TabFocus);
    toolbar->addWidget(rescan);
    // Return anywhere in the window is "Review & Clean…", unless a focused button takes it.
    if (auto* review = view->findChild<QPushButton*>(QStringLiteral("reviewButton")))
        DefaultAction::install(window, review);
    window->setMinimumSize(820, 520);
    window->resize(960, 640);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
    // A frame saved by an earlier run replaces the centred one.
    if (m_keepsFrame) {
        const QByteArray saved = sharedDefaults().value(kFrameKey).toByteArray();
        if (!saved.isEmpty())
            window->restoreGeometry(saved);
    }
    window->installEventFilter(this);
    return window;
}

// Closing only hides the window; its frame is kept for the next run.
bool StorageCleanerWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window && (event->type() == QEvent::Close || event->type() == QEvent::Hide) &&
        m_keepsFrame)
        sharedDefaults().setValue(kFrameKey, m_window->saveGeometry());
    return QObject::eventFilter(watched, event);
}

void StorageCleanerWindow::presentReview() {
    if (!m_window || m_sheet)
        return;
    auto* sheet = new QDialog(m_window, Qt::Sheet);
    sheet->setObjectName(QStringLiteral("reviewSheet"));
    sheet->setWindowTitle(QStringLiteral("Review"));
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    // The sheet follows its content's size: taller or shorter as the selection it lists changes.
    auto* layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    QPointer<QDialog> box(sheet);
    auto end = [box] {
        if (box)
            box->close();
    };
    layout->addWidget(new ConfirmationSheet(
        m_model,
        [this, end](StorageCleanerModel::Mode mode) {
            end();
            m_model.clean(mode);
        },
        end, sheet));
    m_sheet = sheet;
    sheet->open();
}

} // namespace quorvex
