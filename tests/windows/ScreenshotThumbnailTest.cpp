#include "windows/ScreenshotThumbnail.h"

#include "support/FakeClock.h"
#include "support/FakeXcrun.h"
#include "support/RecordingWorkspace.h"
#include "windows/ChromeFixture.h"
#include "windows/ThumbnailView.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

using namespace quorvex;

namespace {

class ThumbnailFixture : public ::testing::Test {
protected:
    std::filesystem::path shot(const std::string& name, QSize size = {100, 200}) {
        const auto file = std::filesystem::path(m_dir.path().toStdString()) / name;
        test::ChromeFixture::writePng(file, size, Qt::green);
        return file;
    }
    // The running slide-out, if any (a finished one is only deleted on the next event-loop turn).
    QPropertyAnimation* slideOut() const {
        for (auto* animation : m_thumbnail.findChildren<QPropertyAnimation*>(QStringLiteral("slideOut")))
            if (animation->state() == QAbstractAnimation::Running)
                return animation;
        return nullptr;
    }
    ThumbnailView* view() const { return qobject_cast<ThumbnailView*>(m_thumbnail.panel()); }

    QTemporaryDir m_dir;
    test::FakeClock m_clock;
    test::RecordingWorkspace m_workspace;
    ScreenshotThumbnail m_thumbnail{m_clock, m_workspace};
};

} // namespace

TEST(ScreenshotThumbnailSizeTest, FitsIn180PointsWithoutEnlarging) {
    struct Case {
        QSizeF image;
        QSize thumbnail;
    };
    const std::vector<Case> cases = {
        {{1179, 2556}, {83, 180}}, {{100, 50}, {100, 50}}, {{2556, 1179}, {180, 83}},
        {{360, 360}, {180, 180}},  {{181, 1}, {180, 1}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScreenshotThumbnail::thumbnailSize(c.image), c.thumbnail);
    // 20 points inside the right edge and above the bottom of the visible area.
    EXPECT_EQ(ScreenshotThumbnail::thumbnailFrame({83, 180}, QRect(0, 25, 1440, 850)),
              QRect(1337, 675, 83, 180));
}

TEST_F(ThumbnailFixture, ShowsAtTheCornerAndDismissesFiveSecondsAfterThePointerLeft) {
    m_thumbnail.show(shot("a.png"));
    ASSERT_NE(view(), nullptr);
    EXPECT_TRUE(view()->isVisible());
    EXPECT_EQ(view()->size(), QSize(90, 180));
    const QRect target =
        ScreenshotThumbnail::thumbnailFrame({90, 180}, QGuiApplication::primaryScreen()->availableGeometry());
    auto* slideIn = view()->findChild<QPropertyAnimation*>(QStringLiteral("slideIn"));
    ASSERT_NE(slideIn, nullptr);
    EXPECT_EQ(slideIn->endValue().toPoint(), target.topLeft());
    slideIn->setCurrentTime(slideIn->duration());
    EXPECT_EQ(view()->pos(), target.topLeft());

    m_clock.advance(4);
    m_thumbnail.hoverChanged(true);
    m_clock.advance(6); // second 10: still up while the pointer rests on it
    EXPECT_EQ(slideOut(), nullptr);
    m_thumbnail.hoverChanged(false);
    m_clock.advance(4.9);
    EXPECT_EQ(slideOut(), nullptr);
    m_clock.advance(0.1); // second 15
    ASSERT_NE(slideOut(), nullptr);
    slideOut()->setCurrentTime(slideOut()->duration());
    EXPECT_FALSE(view()->isVisible());
}

TEST_F(ThumbnailFixture, ASecondShotReplacesTheFirstAndTheOldSlideOutHidesOnlyItsOwnPanel) {
    m_thumbnail.show(shot("a.png"));
    QWidget* first = m_thumbnail.panel();
    m_clock.advance(3);
    m_thumbnail.slideOut();
    QPropertyAnimation* oldSlide = slideOut();
    ASSERT_NE(oldSlide, nullptr);

    m_thumbnail.show(shot("b.png", {50, 50}));
    QWidget* second = m_thumbnail.panel();
    EXPECT_NE(first, second);
    EXPECT_FALSE(first->isVisible());
    EXPECT_TRUE(second->isVisible());
    EXPECT_EQ(m_thumbnail.file()->filename(), "b.png");

    // The first slide-out ends after the second thumbnail came up: it must not hide it.
    oldSlide->setCurrentTime(oldSlide->duration());
    EXPECT_TRUE(second->isVisible());

    // The dismissal was re-armed for a full 5 seconds by the second show.
    m_clock.advance(4.9);
    EXPECT_EQ(slideOut(), nullptr);
    m_clock.advance(0.1);
    EXPECT_NE(slideOut(), nullptr);
}

TEST_F(ThumbnailFixture, UnreadableFileShowsNothing) {
    const auto bogus = std::filesystem::path(m_dir.path().toStdString()) / "bogus.png";
    m_thumbnail.show(bogus);
    EXPECT_EQ(m_thumbnail.panel(), nullptr);
    EXPECT_FALSE(m_thumbnail.file());
    EXPECT_FALSE(m_thumbnail.isDismissArmed());
}

TEST_F(ThumbnailFixture, ShortMovesAreClicksLongerOnesDragAndOnlyATakenDragSlidesOut) {
    m_thumbnail.show(shot("a.png"));
    ThumbnailView* v = view();
    ASSERT_NE(v, nullptr);
    int drags = 0;
    bool dropTaken = false;
    v->beginDrag = [&] {
        ++drags;
        return dropTaken;
    };
    // A press, 4 points of movement and a release: a click, which previews (the preview tool is
    // missing here, so the default application opens the file).
    qputenv("QUORVEX_QLMANAGE", QByteArray::fromStdString(m_dir.path().toStdString() + "/no-qlmanage"));
    QTest::mousePress(v, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(v, QPoint(10, 14));
    QTest::mouseRelease(v, Qt::LeftButton, {}, QPoint(10, 14));
    EXPECT_EQ(drags, 0);
    ASSERT_EQ(m_workspace.requests().size(), 1u);
    EXPECT_EQ(m_workspace.requests()[0].path.filename(), "a.png");
    EXPECT_NE(slideOut(), nullptr) << "a click slides the thumbnail out";
    slideOut()->stop();

    // Further than 4 points: a drag, and the release is no click. Dropped nowhere, it stays up.
    m_thumbnail.show(shot("b.png"));
    v = view();
    v->beginDrag = [&] {
        ++drags;
        return dropTaken;
    };
    m_workspace.clear();
    QTest::mousePress(v, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(v, QPoint(13, 14)); // exactly 5 points
    QTest::mouseRelease(v, Qt::LeftButton, {}, QPoint(13, 14));
    EXPECT_EQ(drags, 1);
    EXPECT_TRUE(m_workspace.requests().empty());
    EXPECT_EQ(slideOut(), nullptr);
    EXPECT_TRUE(m_thumbnail.isDismissArmed());

    dropTaken = true;
    QTest::mousePress(v, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(v, QPoint(30, 10));
    EXPECT_EQ(drags, 2);
    EXPECT_NE(slideOut(), nullptr);
    qunsetenv("QUORVEX_QLMANAGE");
}

TEST_F(ThumbnailFixture, PreviewRunsQlmanageWhenItStarts) {
    test::FakeXcrun fake;
    fake.rule({{"tool", "qlmanage"}, {"args", {"**"}}});
    const auto file = shot("a.png");
    m_thumbnail.show(file);
    m_thumbnail.quickLook();
    // The preview is started without waiting; its call shows up in the fake's log.
    QTRY_COMPARE_WITH_TIMEOUT(fake.argumentLists("qlmanage").size(), size_t(1), 5000);
    EXPECT_EQ(fake.argumentLists("qlmanage")[0], (std::vector<std::string>{"-p", file.string()}));
    EXPECT_TRUE(m_workspace.requests().empty());
}
