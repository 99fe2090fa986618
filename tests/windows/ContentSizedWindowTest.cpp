#include "windows/ContentSizedWindow.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QVariantAnimation>

using namespace quorvex;

namespace {

QVariantAnimation* resizeAnimation(QWidget* window) {
    for (auto* animation : window->findChildren<QVariantAnimation*>(QStringLiteral("contentResize")))
        if (animation->state() == QAbstractAnimation::Running)
            return animation;
    return nullptr;
}

// Content of a fixed size, as a composer with a known height would be.
QWidget* box(QSize size) {
    auto* content = new QWidget;
    content->setFixedSize(size);
    return content;
}

} // namespace

TEST(ContentSizedWindowTest, StartsAtTheContentsSizeUnshownAndNotResizableByTheUser) {
    auto window = ContentSizedWindow::make(QStringLiteral("Open URL"), box({540, 300}));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Open URL");
    EXPECT_EQ(window->size(), QSize(540, 300));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(ContentSizedWindow::hasBeenSized(window.get()));
}

TEST(ContentSizedWindowTest, FirstSizingIsImmediateAndLaterOnesAnimateKeepingTheTopLeft) {
    auto window = ContentSizedWindow::make(QStringLiteral("W"), box({400, 200}));
    window->move(100, 120);
    window->show();
    const QPointer<QWidget> weak(window.get());

    // Sizes that are not laid out yet change nothing and are not the first sizing.
    for (const QSize bad : {QSize(0, 10), QSize(10, 0), QSize(-5, 30)})
        ContentSizedWindow::resizeToContent(weak, bad);
    EXPECT_FALSE(ContentSizedWindow::hasBeenSized(window.get()));
    EXPECT_EQ(window->size(), QSize(400, 200));

    // The same size: nothing changes, but it counts as the first sizing.
    ContentSizedWindow::resizeToContent(weak, {400, 200});
    EXPECT_TRUE(ContentSizedWindow::hasBeenSized(window.get()));
    EXPECT_EQ(resizeAnimation(window.get()), nullptr);

    // Growing by 50: animated while visible; the bottom edge moves down, top and left stay.
    const QRect before = window->geometry();
    ContentSizedWindow::resizeToContent(weak, {400, 250});
    QVariantAnimation* animation = resizeAnimation(window.get());
    ASSERT_NE(animation, nullptr);
    EXPECT_EQ(animation->duration(), 220);
    animation->setCurrentTime(110);
    EXPECT_GT(window->height(), 200);
    EXPECT_LT(window->height(), 250);
    animation->setCurrentTime(220);
    EXPECT_EQ(window->geometry(), QRect(before.topLeft(), QSize(400, 250)));
    EXPECT_EQ(window->geometry().bottom(), before.bottom() + 50);
}

TEST(ContentSizedWindowTest, FirstSizingOfAVisibleWindowHiddenWindowsAndTestHostsNeverAnimate) {
    struct Case {
        const char* name;
        bool firstAlreadyDone;
        bool visible;
        bool testHost;
    };
    const std::vector<Case> cases = {
        {"first sizing while visible", false, true, false},
        {"hidden window", true, false, false},
        {"under a test host", true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.testHost)
            qputenv("XCTestConfigurationFilePath", "");
        auto window = ContentSizedWindow::make(QStringLiteral("W"), box({300, 100}));
        if (c.firstAlreadyDone)
            ContentSizedWindow::resizeToContent(window.get(), {300, 100});
        window->setVisible(c.visible);
        ContentSizedWindow::resizeToContent(window.get(), {300, 180});
        EXPECT_EQ(resizeAnimation(window.get()), nullptr);
        EXPECT_EQ(window->size(), QSize(300, 180));
        qunsetenv("XCTestConfigurationFilePath");
    }
}

TEST(ContentSizedWindowTest, ContentThatGrowsResizesItsWindowOnTheNextTurnAndAGoneWindowIsLeftAlone) {
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    auto* label = new QLabel(QStringLiteral("one line"));
    layout->addWidget(label);
    auto window = ContentSizedWindow::make(QStringLiteral("W"), content);
    const QSize start = window->size();

    auto* extra = new QWidget;
    extra->setFixedHeight(80);
    layout->addWidget(extra);
    EXPECT_EQ(window->size(), start) << "never inside the layout pass";
    QTRY_COMPARE(window->height(), content->sizeHint().height());
    EXPECT_GT(window->height(), start.height() + 70);

    // A late report for a window its owner has released does nothing.
    QPointer<QWidget> weak(window.get());
    window.reset();
    ContentSizedWindow::resizeToContent(weak, {100, 100});
    EXPECT_TRUE(weak.isNull());
}
