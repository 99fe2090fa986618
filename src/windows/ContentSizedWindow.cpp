#include "windows/ContentSizedWindow.h"

#include "tools/Environment.h"

#include <QEasingCurve>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <QVariantAnimation>

namespace quorvex {

namespace {

const char* const kSizedProperty = "quorvexContentSized";

// The content's ideal size: its size hint, but never below a minimum it insists on.
QSize wantedSize(const QWidget* content) {
    return content->sizeHint().expandedTo(content->minimumSize());
}

// Watches the content's layout requests and reports its wanted size to the window, one
// event-loop turn later.
class ContentSizeObserver final : public QObject {
public:
    ContentSizeObserver(QWidget* window, QWidget* content)
        : QObject(content)
        , m_window(window)
        , m_content(content) {
        content->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_content && event->type() == QEvent::LayoutRequest) {
            QPointer<QWidget> window = m_window;
            QPointer<QWidget> content = m_content;
            QMetaObject::invokeMethod(
                this,
                [window, content] {
                    if (content)
                        ContentSizedWindow::resizeToContent(window, wantedSize(content));
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    QPointer<QWidget> m_window;
    QPointer<QWidget> m_content;
};

// CAMediaTimingFunction's ease-in-ease-out: a cubic Bézier through (0.42, 0) and (0.58, 1).
QEasingCurve easeInEaseOut() {
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0.42, 0.0), QPointF(0.58, 1.0), QPointF(1.0, 1.0));
    return curve;
}

void applyGeometry(QWidget* window, const QRect& geometry) {
    window->setFixedSize(geometry.size());
    window->setGeometry(geometry);
}

} // namespace

std::unique_ptr<QWidget> ContentSizedWindow::make(const QString& title, QWidget* content) {
    auto window = std::make_unique<QWidget>(
        nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
    window->setWindowTitle(title);
    window->resize(400, 200);
    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    // Only this class sizes the window: the layout sets no minimum or maximum of its own.
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    layout->addWidget(content, 0, Qt::AlignTop);
    layout->addStretch(1);
    new ContentSizeObserver(window.get(), content);

    const QSize fitting = wantedSize(content);
    if (fitting.isValid() && !fitting.isEmpty())
        window->setFixedSize(fitting);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), window->size());
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
    return window;
}

bool ContentSizedWindow::hasBeenSized(const QWidget* window) {
    return window && window->property(kSizedProperty).toBool();
}

void ContentSizedWindow::resizeToContent(const QPointer<QWidget>& window, QSize size) {
    if (!window || size.width() <= 0 || size.height() <= 0)
        return;
    const bool firstSizing = !hasBeenSized(window);
    window->setProperty(kSizedProperty, true);
    if (size == window->size())
        return;
    // The top-left corner stays put: the window grows or shrinks downwards.
    const QRect target(window->geometry().topLeft(), size);
    // A newer size wins over one still animating: the next animation starts where this one is.
    for (auto* running : window->findChildren<QVariantAnimation*>(QStringLiteral("contentResize")))
        running->stop();
    if (firstSizing || !window->isVisible() || isRunningTests()) {
        applyGeometry(window, target);
        return;
    }
    auto* animation = new QVariantAnimation(window);
    animation->setObjectName(QStringLiteral("contentResize"));
    animation->setDuration(kAnimationMs);
    animation->setEasingCurve(easeInEaseOut());
    animation->setStartValue(window->geometry());
    animation->setEndValue(target);
    QWidget* animated = window;
    QObject::connect(animation, &QVariantAnimation::valueChanged, animated,
                     [animated](const QVariant& value) { applyGeometry(animated, value.toRect()); });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

} // namespace quorvex
