#include "storage/cleaner/DonutChart.h"

#include "storage/cleaner/CleanerMotion.h"
#include "storage/cleaner/CleanerWorld.h"
#include "support/FakeClock.h"
#include "ui/Animator.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTest>

#include <cmath>
#include <numbers>

using namespace quorvex;
using Kind = CleanupCategory::Kind;
using World = test::CleanerWorld;

namespace {

// Two slices: derived data 0..100, archives 100..400 (simulators are all 0 bytes: no slice).
std::vector<DonutChart::Slice> twoSlices(World& world) {
    world.load(Kind::derivedData, {World::item("d", 60), World::item("d2", 40)});
    world.load(Kind::simulators, {World::item("s", 0)});
    world.load(Kind::archives, {World::item("a", 300)});
    return DonutChart::slices(world.model);
}

QPointF atAngle(double degrees, double radius) {
    const double angle = degrees * std::numbers::pi / 180;
    return {100 + radius * std::sin(angle), 100 - radius * std::cos(angle)};
}

// Degrees clockwise from 12 o'clock at which derived data's slice ends as drawn: the last angle
// on the ring's middle circle that still shows its colour.
double drawnEdge(DonutChart& chart, const QColor& tint) {
    const QImage image = chart.grab().toImage();
    double last = -1;
    for (double degrees = 0; degrees < 360; degrees += 0.25) {
        const QColor pixel = image.pixelColor(atAngle(degrees, 81).toPoint());
        if (std::abs(pixel.red() - tint.red()) + std::abs(pixel.green() - tint.green()) +
                std::abs(pixel.blue() - tint.blue()) <
            24)
            last = degrees;
    }
    return last;
}

// The end of derived data's span, in degrees.
double spanEnd(const StorageCleanerModel& model) {
    return DonutChart::spans(DonutChart::slices(model)).front().to * 360;
}

QImage hole(DonutChart& chart) {
    return chart.grab(QRect(60, 80, 80, 40)).toImage();
}

} // namespace

// New sizes move the slices' edges and roll the figure in the hole together, on the content spring
// (0.5 s, damping 1): the drawn edge stands where the spring has carried it at each frame, and the
// timer stops once it has arrived.
TEST(DonutChartTest, NewSizesMoveTheEdgesAndTheFigureOnTheContentSpring) {
    World world;
    test::FakeClock clock;
    Animator& animator = CleanerMotion::install(world.model, clock).animator();
    animator.setReduceMotion(false);
    twoSlices(world);
    DonutChart chart(world.model);
    chart.show();
    const QColor tint = DonutChart::slices(world.model).front().tint;
    const double from = spanEnd(world.model);
    const double drawnFrom = drawnEdge(chart, tint);
    const QImage figureBefore = hole(chart);

    world.load(Kind::derivedData, {World::item("d", 400)});
    const double to = spanEnd(world.model);
    ASSERT_GT(to - from, 60);
    const Motion spring = CleanerMotion::contentSpring();
    double now = 0;
    for (const double t : {0.0, 0.08, 0.2, 0.4}) {
        SCOPED_TRACE(t);
        clock.advance(t - now);
        now = t;
        EXPECT_NEAR(drawnEdge(chart, tint) - drawnFrom, (to - from) * spring.progress(t), 1.5);
        if (t == 0.0) {
            EXPECT_EQ(hole(chart), figureBefore);
        } else if (t == 0.08) {
            EXPECT_NE(hole(chart), figureBefore); // the figure rolls with the slices
        }
    }
    clock.advance(2);
    EXPECT_NEAR(drawnEdge(chart, tint) - drawnFrom, to - from, 1.5);
    EXPECT_FALSE(animator.isRunning());
    EXPECT_EQ(clock.pendingCount(), 0u);

    // Under Reduce Motion new sizes are drawn at once.
    animator.setReduceMotion(true);
    const QImage settled = chart.grab().toImage();
    world.load(Kind::derivedData, {World::item("d", 60), World::item("d2", 40)});
    EXPECT_NEAR(drawnEdge(chart, tint), drawnFrom, 1.0);
    EXPECT_EQ(clock.pendingCount(), 0u);
    EXPECT_NE(chart.grab().toImage(), settled);
}

TEST(DonutChartTest, SlicesFollowKindOrderLeaveOutEmptyKindsAndFallBackToOneGreyRing) {
    World world;
    const std::vector<DonutChart::Slice> none = DonutChart::slices(world.model);
    ASSERT_EQ(none.size(), 1u);
    EXPECT_EQ(none[0].kind, "empty");
    EXPECT_EQ(none[0].size, 1);

    // Protected items count towards their slice.
    world.load(Kind::caches, {World::protectedItem("c", 5)});
    const std::vector<DonutChart::Slice> slices = twoSlices(world);
    ASSERT_EQ(slices.size(), 3u);
    EXPECT_EQ(slices[0].kind, "derivedData");
    EXPECT_EQ(slices[0].size, 100);
    EXPECT_EQ(slices[1].kind, "archives");
    EXPECT_EQ(slices[2].kind, "caches");
    EXPECT_EQ(slices[2].size, 5);
}

TEST(DonutChartTest, AngleValuesFallInHalfOpenSpans) {
    World world;
    const std::vector<DonutChart::Slice> slices = twoSlices(world);
    const struct {
        double value;
        std::optional<Kind> kind;
    } cases[] = {
        {-1, std::nullopt},        {0, Kind::derivedData}, {99.999, Kind::derivedData},
        {100, Kind::archives}, // a boundary belongs to the later slice
        {399.999, Kind::archives}, {400, std::nullopt},    {1e12, std::nullopt},
    };
    for (const auto& each : cases)
        EXPECT_EQ(DonutChart::category(each.value, slices), each.kind) << each.value;
}

TEST(DonutChartTest, ClicksHitOnlyTheRing) {
    World world;
    const std::vector<DonutChart::Slice> slices = twoSlices(world);
    const QSizeF frame(200, 200);
    const struct {
        const char* where;
        QPointF point;
        std::optional<Kind> kind;
    } cases[] = {
        {"centre", {100, 100}, std::nullopt},
        {"hole, half the radius", atAngle(10, 50), std::nullopt},
        {"hole, just inside 0.55", atAngle(10, 54.9), std::nullopt},
        {"exactly 0.55 of the radius", {100, 45}, Kind::derivedData},
        {"between 0.55 and the drawn hole at 0.62", atAngle(45, 58), Kind::derivedData},
        {"just before the boundary", atAngle(89.9, 80), Kind::derivedData},
        {"on the boundary at 3 o'clock", {180, 100}, Kind::archives},
        {"exactly on the outer edge", {100, 200}, Kind::archives},
        {"just outside the edge", {100, -0.5}, std::nullopt},
        {"corner of the frame", {3, 3}, std::nullopt},
        {"at 9 o'clock", {20, 100}, Kind::archives},
    };
    for (const auto& each : cases)
        EXPECT_EQ(DonutChart::category(each.point, frame, slices), each.kind) << each.where;

    // A wide frame: the ring is as large as the smaller side allows, around the frame's centre.
    EXPECT_EQ(DonutChart::category(QPointF(200, 5), QSizeF(400, 200), slices), Kind::derivedData);
    EXPECT_EQ(DonutChart::category(QPointF(20, 100), QSizeF(400, 200), slices), std::nullopt);
    // No area, no ring.
    EXPECT_EQ(DonutChart::category(QPointF(0, 0), QSizeF(0, 0), slices), std::nullopt);
}

TEST(DonutChartTest, ThePlaceholderRingTakesNoClicks) {
    World world;
    DonutChart chart(world.model);
    const std::vector<DonutChart::Slice> placeholder = DonutChart::slices(world.model);
    EXPECT_EQ(DonutChart::category(atAngle(90, 80), QSizeF(200, 200), placeholder), std::nullopt);

    QTest::mouseClick(&chart, Qt::LeftButton, {}, atAngle(90, 80).toPoint());
    EXPECT_EQ(world.model.section(), StorageCleanerModel::Section::overview());
}

TEST(DonutChartTest, AClickOnASliceOpensItsCategoryAndTheHoleDoesNothing) {
    World world;
    twoSlices(world);
    DonutChart chart(world.model);

    QTest::mouseClick(&chart, Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_EQ(world.model.section(), StorageCleanerModel::Section::overview());
    QTest::mouseClick(&chart, Qt::LeftButton, {}, atAngle(200, 90).toPoint());
    EXPECT_EQ(world.model.section(), StorageCleanerModel::Section::category(Kind::archives));
}

TEST(DonutChartTest, ThePointerDimsEveryOtherSlice) {
    World world;
    const std::vector<DonutChart::Slice> slices = twoSlices(world);
    DonutChart chart(world.model);
    for (const DonutChart::Slice& slice : slices)
        EXPECT_EQ(chart.opacity(slice), 1.0);

    QMouseEvent move(QEvent::MouseMove, atAngle(20, 90), chart.mapToGlobal(atAngle(20, 90)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&chart, &move);
    EXPECT_EQ(chart.selectedKind(), Kind::derivedData);
    EXPECT_EQ(chart.opacity(slices[0]), 1.0);
    EXPECT_EQ(chart.opacity(slices[1]), DonutChart::kDimmedOpacity);

    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&chart, &leave);
    EXPECT_EQ(chart.selectedKind(), std::nullopt);
    EXPECT_EQ(chart.opacity(slices[1]), 1.0);
}

TEST(DonutChartTest, TheRingMovesBetweenSizesWithoutGapsOrOverlaps) {
    World world;
    const std::vector<DonutChart::Span> before = DonutChart::spans(DonutChart::slices(world.model));
    const std::vector<DonutChart::Span> after = DonutChart::spans(twoSlices(world));
    ASSERT_EQ(before.size(), CleanupCategory::allKinds.size() + 1);
    EXPECT_EQ(before.back().kind, "empty");
    EXPECT_DOUBLE_EQ(before.back().to - before.back().from, 1.0);
    EXPECT_DOUBLE_EQ(after[0].to, 0.25);   // derived data: 100 of 400 bytes
    EXPECT_DOUBLE_EQ(after[1].from, 0.25); // simulators: no width, at its place
    EXPECT_DOUBLE_EQ(after[1].to, 0.25);
    EXPECT_DOUBLE_EQ(after[3].to, 1.0);       // archives
    EXPECT_DOUBLE_EQ(after.back().from, 1.0); // the placeholder has gone

    for (double progress : {0.0, 0.3, 0.5, 1.0}) {
        const std::vector<DonutChart::Span> shown = DonutChart::blend(before, after, progress);
        SCOPED_TRACE(progress);
        EXPECT_DOUBLE_EQ(shown.front().from, 0.0);
        for (std::size_t i = 1; i < shown.size(); ++i)
            EXPECT_DOUBLE_EQ(shown[i].from, shown[i - 1].to) << shown[i].kind.toStdString();
        EXPECT_DOUBLE_EQ(shown.back().to, 1.0);
        // The grey ring keeps its colour while it shrinks away.
        EXPECT_TRUE(shown.back().tint.isValid());
    }
    const std::vector<DonutChart::Span> arrived = DonutChart::blend(before, after, 1.0);
    for (std::size_t i = 0; i < after.size(); ++i) {
        EXPECT_DOUBLE_EQ(arrived[i].from, after[i].from);
        EXPECT_DOUBLE_EQ(arrived[i].to, after[i].to);
    }
}

// A slice's outline is the sector shrunk by the corner radius and grown back with round corners:
// it covers what filling the shrunk sector and stroking it with a round pen that wide covers,
// for wide slices, slices too narrow for their corners at the hole, and slices too narrow to draw.
TEST(DonutChartTest, ASliceOutlineIsTheShrunkSectorWithRoundCorners) {
    const QPointF centre(100, 100);
    const double outer = 100;
    const double inner = outer * DonutChart::kInnerRatio;
    const double corner = DonutChart::kCornerRadius;
    // The shrunk sector, as a reference drawn the slow way.
    const auto reference = [&](double from, double to) {
        const double innerEdge = inner + corner;
        const double outerEdge = outer - corner;
        const double edge = DonutChart::kAngularInset + corner;
        const auto at = [&](double radius, double angle) {
            return QPointF(centre.x() + radius * std::sin(angle), centre.y() - radius * std::cos(angle));
        };
        QPainterPath path;
        const double outerFrom = from + edge / outerEdge;
        const double outerTo = to - edge / outerEdge;
        const double innerFrom = from + edge / innerEdge;
        const double innerTo = to - edge / innerEdge;
        if (!(outerTo > outerFrom))
            return path;
        path.moveTo(at(outerEdge, outerFrom));
        for (int i = 1; i <= 400; ++i)
            path.lineTo(at(outerEdge, outerFrom + (outerTo - outerFrom) * i / 400));
        if (innerTo > innerFrom) {
            for (int i = 0; i <= 400; ++i)
                path.lineTo(at(innerEdge, innerTo - (innerTo - innerFrom) * i / 400));
        } else {
            path.lineTo(at(innerEdge, (from + to) / 2));
        }
        path.closeSubpath();
        return path;
    };
    const auto render = [](const QPainterPath& path, bool stroked) {
        QImage image(200, 200, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(Qt::black);
        painter.setPen(stroked ? QPen(Qt::black, 2 * DonutChart::kCornerRadius, Qt::SolidLine, Qt::RoundCap,
                                      Qt::RoundJoin)
                               : QPen(Qt::NoPen));
        painter.drawPath(path);
        return image;
    };
    const struct {
        const char* name;
        double from; // turns
        double to;
    } cases[] = {
        {"quarter", 0, 0.25},
        {"most of the ring", 0.05, 0.97},
        {"across 12 o'clock", 0.9, 1.1},
        {"a wedge at the hole", 0.4, 0.422},
        {"too narrow to draw", 0.6, 0.61},
    };
    const double turn = 2 * std::numbers::pi;
    for (const auto& each : cases) {
        SCOPED_TRACE(each.name);
        const QPainterPath expectedPath = reference(each.from * turn, each.to * turn);
        const QPainterPath outline =
            DonutChart::sectorPath(centre, inner, outer, each.from * turn, each.to * turn);
        EXPECT_EQ(outline.isEmpty(), expectedPath.isEmpty());
        const QImage expected = render(expectedPath, true);
        const QImage drawn = render(outline, false);
        int covered = 0;
        int off = 0;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 200; ++x) {
                const int want = qAlpha(expected.pixel(x, y));
                covered += want > 128 ? 1 : 0;
                off += std::abs(want - qAlpha(drawn.pixel(x, y))) > 96 ? 1 : 0;
            }
        EXPECT_LE(off, covered / 200 + 2) << off << " of " << covered;
    }
}
