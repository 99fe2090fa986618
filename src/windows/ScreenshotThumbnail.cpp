#include "windows/ScreenshotThumbnail.h"

#include "platform/core/Clock.h"
#include "platform/data/SystemClock.h"
#include "platform/gui/Workspace.h"
#include "tools/PathText.h"
#include "tools/ToolPaths.h"
#include "windows/ThumbnailView.h"

#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QPropertyAnimation>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace quorvex {

namespace {

QRect primaryVisibleFrame() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

} // namespace

ScreenshotThumbnail::ScreenshotThumbnail(Clock& clock, Workspace& workspace, QObject* parent)
    : QObject(parent)
    , m_clock(clock)
    , m_workspace(workspace) {}

ScreenshotThumbnail::~ScreenshotThumbnail() {
    delete m_panel.data();
}

ScreenshotThumbnail& ScreenshotThumbnail::shared() {
    static auto* thumbnail = new ScreenshotThumbnail(systemClock(), Workspace::system());
    return *thumbnail;
}

QSize ScreenshotThumbnail::thumbnailSize(QSizeF imageSize) {
    if (imageSize.isEmpty())
        return {};
    const double factor = std::min({kMaxSide / imageSize.width(), kMaxSide / imageSize.height(), 1.0});
    return {int(std::lround(imageSize.width() * factor)), int(std::lround(imageSize.height() * factor))};
}

QRect ScreenshotThumbnail::thumbnailFrame(QSize size, const QRect& visibleFrame) {
    const int right = visibleFrame.x() + visibleFrame.width();
    const int bottom = visibleFrame.y() + visibleFrame.height();
    return {right - size.width() - kMargin, bottom - kMargin - size.height(), size.width(), size.height()};
}

void ScreenshotThumbnail::show(const std::filesystem::path& file) {
    QImage image;
    if (!image.load(pathText(file)))
        return;
    m_file = file;
    if (m_panel) {
        m_panel->hide();
        m_panel->deleteLater();
    }

    const QSize size = thumbnailSize(QSizeF(image.size()) / std::max(1.0, image.devicePixelRatio()));
    const QRect target = thumbnailFrame(size, primaryVisibleFrame());

    auto* view = new ThumbnailView(std::move(image), file);
    view->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                         Qt::WindowDoesNotAcceptFocus);
    view->setAttribute(Qt::WA_ShowWithoutActivating);
    view->setAttribute(Qt::WA_TranslucentBackground);
    view->setObjectName(QStringLiteral("screenshotThumbnail"));
    QPointer<ScreenshotThumbnail> self(this);
    view->onClick = [self] {
        if (self)
            self->quickLook();
    };
    view->onHover = [self](bool inside) {
        if (self)
            self->hoverChanged(inside);
    };
    view->onDragEnded = [self] {
        if (self)
            self->slideOut();
    };
    m_panel = view;

    view->setFixedSize(size);
    view->move(target.topLeft() + QPoint(size.width() + kMargin, 0));
    view->show();
    view->raise();
    auto* slideIn = new QPropertyAnimation(view, "pos", view);
    slideIn->setObjectName(QStringLiteral("slideIn"));
    slideIn->setDuration(kSlideInMs);
    slideIn->setEasingCurve(QEasingCurve::OutCubic);
    slideIn->setEndValue(target.topLeft());
    slideIn->start(QAbstractAnimation::DeleteWhenStopped);

    scheduleDismiss();
}

void ScreenshotThumbnail::scheduleDismiss() {
    QPointer<ScreenshotThumbnail> self(this);
    m_dismissWork = m_clock.schedule(kDismissAfter, [self] {
        if (self)
            self->slideOut();
    });
}

void ScreenshotThumbnail::hoverChanged(bool inside) {
    if (inside)
        m_dismissWork.reset();
    else
        scheduleDismiss();
}

void ScreenshotThumbnail::slideOut() {
    m_dismissWork.reset();
    if (!m_panel || !m_panel->isVisible())
        return;
    // The animation belongs to this object and holds the panel weakly: when it ends it hides the
    // panel it moved, even if a newer thumbnail has taken the slot meanwhile.
    const QPointer<QWidget> animated = m_panel;
    auto* slide = new QPropertyAnimation(animated.data(), "pos", this);
    slide->setObjectName(QStringLiteral("slideOut"));
    slide->setDuration(kSlideOutMs);
    slide->setEasingCurve(QEasingCurve::InCubic);
    slide->setEndValue(animated->pos() + QPoint(animated->width() + kMargin, 0));
    connect(slide, &QAbstractAnimation::finished, this, [animated] {
        if (animated)
            animated->hide();
    });
    slide->start(QAbstractAnimation::DeleteWhenStopped);
}

void ScreenshotThumbnail::quickLook() {
    slideOut();
    if (!m_file)
        return;
    QProcess preview;
    preview.setProgram(QString::fromStdString(ToolPaths::qlmanage()));
    preview.setArguments({QStringLiteral("-p"), pathText(*m_file)});
    preview.setStandardOutputFile(QProcess::nullDevice());
    preview.setStandardErrorFile(QProcess::nullDevice());
    // Where Quick Look's tool is missing (it is on every Linux desktop), the default viewer
    // previews the file instead.
    if (!preview.startDetached())
        m_workspace.openPath(*m_file);
}

} // namespace quorvex
