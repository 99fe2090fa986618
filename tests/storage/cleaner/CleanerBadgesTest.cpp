#include "storage/cleaner/ChipButton.h"
#include "storage/cleaner/CleanerLook.h"
#include "storage/cleaner/CleanerMotion.h"
#include "storage/cleaner/CountBadge.h"
#include "storage/cleaner/SafetyBadge.h"
#include "storage/cleaner/SpaceSavedBadge.h"
#include "storage/cleaner/TagChip.h"
#include "ui/ByteCountFormatter.h"
#include "ui/CategoryIcon.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"

#include "storage/cleaner/CleanerWorld.h"

#include "support/FakeClock.h"
#include "ui/Animator.h"

#include <QImage>

#include <gtest/gtest.h>

#include <QPalette>

using namespace quorvex;
using Safety = CleanupSafety;

TEST(CleanerBadgesTest, SizeTextCallsNothingEmpty) {
    EXPECT_EQ(sizeText(0), "Empty");
    EXPECT_EQ(sizeText(1), ByteCountFormatter::file(1));
    EXPECT_EQ(sizeText(3'450'000'000), ByteCountFormatter::file(3'450'000'000));
}

TEST(CleanerBadgesTest, TagChipsAreTintedByExactText) {
    const QColor primary(Qt::black);
    const struct {
        const char* text;
        std::optional<QColor> tint;
    } cases[] = {
        {"Uploaded", Palette::green()},
        {"Not uploaded", Palette::orange()},
        {"Unavailable", Palette::orange()},
        {"Orphaned", Palette::orange()},
        {"Old", std::nullopt},
        {"uploaded", std::nullopt},
        {"Uploaded ", std::nullopt},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.text);
        const CapsuleLabel chip = TagChip::look(QString::fromUtf8(each.text), primary);
        EXPECT_EQ(chip.text, QString::fromUtf8(each.text));
        if (each.tint) {
            EXPECT_EQ(chip.foreground, *each.tint);
            EXPECT_EQ(chip.fill.rgb(), each.tint->rgb());
            EXPECT_NEAR(chip.fill.alphaF(), 0.14, 0.005);
        } else {
            EXPECT_EQ(chip.foreground, secondaryText(primary));
            EXPECT_EQ(chip.fill.rgb(), primary.rgb());
            EXPECT_NEAR(chip.fill.alphaF(), 0.08, 0.005);
        }
    }
}

TEST(CleanerBadgesTest, ChipLooksByActivePressedAndEnabled) {
    QPalette palette;
    const QColor accent = palette.color(QPalette::Highlight);
    const struct {
        bool active, pressed, enabled;
        bool accentFill;
        qreal fillAlpha;
        qreal opacity;
    } cases[] = {
        {true, false, true, true, 1.0, 1.0},
        {true, true, true, true, 1.0, 1.0}, // pressing changes nothing
        {false, false, true, false, 0.07, 1.0},
        {false, true, true, false, 0.14, 1.0},
        {true, false, false, true, 1.0, 0.45},
        {false, false, false, false, 0.07, 0.45},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(testing::Message() << each.active << each.pressed << each.enabled);
        const ChipButton::Look look = ChipButton::look(QStringLiteral("All"), QString(), each.active,
                                                       each.pressed, each.enabled, palette);
        EXPECT_EQ(look.opacity, each.opacity);
        EXPECT_NEAR(look.label.fill.alphaF(), each.fillAlpha * accent.alphaF(), 0.005);
        EXPECT_EQ(look.label.fill.rgb(),
                  each.accentFill ? accent.rgb() : palette.color(QPalette::WindowText).rgb());
        EXPECT_EQ(look.label.foreground,
                  each.active ? QColor(Qt::white) : palette.color(QPalette::WindowText));
    }
}

TEST(CleanerBadgesTest, SafetyBadgesDifferOnlyInTitleSymbolAndColour) {
    const struct {
        Safety safety;
        const char* title;
        const char* symbol;
        QColor color;
    } cases[] = {
        {Safety::safe, "Safe to delete", "checkmark.shield.fill", Palette::green()},
        {Safety::review, "Review first", "eye.fill", Palette::orange()},
        {Safety::verify, "Verify first", "exclamationmark.triangle.fill", Palette::red()},
    };
    const CapsuleLabel reference = SafetyBadge::look(Safety::safe);
    for (const auto& each : cases) {
        const CapsuleLabel badge = SafetyBadge::look(each.safety);
        EXPECT_EQ(badge.text, QString::fromUtf8(each.title));
        EXPECT_EQ(badge.symbol, QString::fromUtf8(each.symbol));
        EXPECT_EQ(badge.foreground, each.color);
        EXPECT_EQ(badge.fill.rgb(), each.color.rgb());
        EXPECT_NEAR(badge.fill.alphaF(), 0.12, 0.005);
        EXPECT_EQ(badge.font, reference.font);
        EXPECT_EQ(badge.horizontalPadding, 8);
        EXPECT_EQ(badge.verticalPadding, 3);
    }
}

TEST(CleanerBadgesTest, CategoryIconGrowsItsCornerAndGlyphWithItsSide) {
    EXPECT_DOUBLE_EQ(CategoryIcon::cornerRadius(36), 9.36);
    EXPECT_DOUBLE_EQ(CategoryIcon::glyphSize(36), 18);
    EXPECT_DOUBLE_EQ(CategoryIcon::cornerRadius(56), 14.56);
    EXPECT_DOUBLE_EQ(CategoryIcon::glyphSize(56), 28);
}

TEST(CleanerBadgesTest, EverySymbolThePagesDrawHasAnIcon) {
    // A name missing from the icon table would draw the question-mark fallback.
    QStringList names{"checkmark.shield.fill",
                      "eye.fill",
                      "exclamationmark.triangle.fill",
                      "sparkles",
                      "checkmark.circle",
                      "checkmark.circle.fill",
                      "circle",
                      "lock.fill",
                      "info.circle.fill",
                      "xmark.circle.fill",
                      "checkmark.seal.fill",
                      "eraser"};
    for (CleanupCategory::Kind kind : CleanupCategory::allKinds) {
        const CleanupCategory category(kind);
        names << category.symbol;
        for (const QuickSelection& selection : category.quickSelections)
            names << selection.symbol;
    }
    for (const QString& name : names)
        EXPECT_TRUE(Symbols::contains(name)) << name.toStdString();
}

// A new total rolls its changed digits in on the badge's spring and the badge stops asking for
// frames once it has arrived; the first total, and every total under Reduce Motion, shows at once.
TEST(CleanerBadgesTest, SpaceSavedBadgeRollsANewTotalIn) {
    test::CleanerWorld world;
    test::FakeClock clock;
    Animator& animator = CleanerMotion::install(world.model, clock).animator();
    animator.setReduceMotion(false);
    QWidget window;
    SpaceSavedBadge badge(world.spaceSaved, animator, &window);
    window.setAttribute(Qt::WA_DontShowOnScreen);
    window.show();
    world.spaceSaved.add(1'100'000);
    EXPECT_EQ(clock.pendingCount(), 0u);
    const QImage first = badge.grab().toImage();

    world.spaceSaved.add(1'100'000);
    EXPECT_EQ(badge.grab().toImage(), first);
    clock.advance(0.1);
    const QImage middle = badge.grab().toImage();
    clock.advance(2);
    const QImage last = badge.grab().toImage();
    EXPECT_NE(middle, first);
    EXPECT_NE(middle, last);
    EXPECT_NE(last, first);
    EXPECT_EQ(clock.pendingCount(), 0u);

    animator.setReduceMotion(true);
    world.spaceSaved.add(5'000'000);
    const QImage now = badge.grab().toImage();
    EXPECT_EQ(clock.pendingCount(), 0u);
    clock.advance(2);
    EXPECT_EQ(badge.grab().toImage(), now);
}

TEST(CleanerBadgesTest, SpaceSavedBadgeAppearsWithTheFirstCleanedBytes) {
    test::CleanerWorld world;
    QWidget window;
    SpaceSavedBadge badge(world.spaceSaved, CleanerMotion::of(world.model).animator(), &window);
    window.setAttribute(Qt::WA_DontShowOnScreen);
    window.show();
    EXPECT_FALSE(badge.isVisible());

    world.spaceSaved.add(2'500'000);
    EXPECT_TRUE(badge.isVisible());
    EXPECT_EQ(badge.figure(), ByteCountFormatter::file(2'500'000));
    EXPECT_EQ(badge.toolTip(), "Everything Quorvex has cleaned up, including items moved to the Trash.");
}

namespace {

// How many pixels of the badge are the capsule's full accent colour.
int paintedPixels(QWidget& widget) {
    const QImage image = widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QColor accent = Palette::blue();
    int painted = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            painted += image.pixelColor(x, y).rgb() == accent.rgb() ? 1 : 0;
    return painted;
}

// A count badge in a shown window, on a fake clock.
struct BadgeStage {
    explicit BadgeStage(bool reduceMotion) {
        animator.setReduceMotion(reduceMotion);
        window.setAttribute(Qt::WA_DontShowOnScreen);
        window.show();
    }
    test::FakeClock clock;
    Animator animator{clock};
    QWidget window;
    CountBadge badge{animator, &window};
};

} // namespace

// The count badge grows from nothing about its centre with the first count and shrinks away with
// a count of 0, each on the selection spring, still reading the last count on its way out; it
// leaves the layout, and the frames stop, when it is gone.
TEST(CleanerBadgesTest, CountBadgeScalesInAndOutOnTheSelectionSpring) {
    BadgeStage stage(false);
    auto& [clock, animator, window, badge] = stage;
    EXPECT_FALSE(badge.isVisible());

    const Motion spring = CleanerMotion::selectionSpring();
    const double times[] = {0.02, 0.05, 0.1, 0.2, 0.4};
    badge.setCount(3);
    EXPECT_TRUE(badge.isVisible());
    EXPECT_NEAR(badge.look().scale, 0, 1e-9);
    double elapsed = 0;
    for (const double time : times) {
        clock.advance(time - elapsed);
        elapsed = time;
        SCOPED_TRACE(time);
        const ScaleFade expected = ScaleFade::appearing(spring.progress(time));
        EXPECT_NEAR(badge.look().scale, expected.scale, 1e-6);
        EXPECT_NEAR(badge.look().opacity, expected.opacity, 1e-6);
    }
    clock.advance(3);
    EXPECT_FALSE(animator.isRunning());
    EXPECT_EQ(badge.look().scale, 1);
    EXPECT_EQ(badge.look().opacity, 1);
    const int full = paintedPixels(badge);
    EXPECT_GT(full, 0);

    badge.setCount(7); // a new count while shown moves nothing
    EXPECT_FALSE(animator.isRunning());

    badge.setCount(0);
    elapsed = 0;
    for (const double time : times) {
        clock.advance(time - elapsed);
        elapsed = time;
        SCOPED_TRACE(time);
        const ScaleFade expected = ScaleFade::appearing(1 - spring.progress(time));
        EXPECT_NEAR(badge.look().scale, expected.scale, 1e-6);
        EXPECT_NEAR(badge.look().opacity, expected.opacity, 1e-6);
        EXPECT_TRUE(badge.isVisible());
        if (time == 0.05) {
            EXPECT_LT(paintedPixels(badge), full);
        }
    }
    EXPECT_EQ(badge.count(), 0);
    clock.advance(3);
    EXPECT_FALSE(badge.isVisible());
    EXPECT_FALSE(animator.isRunning());
    EXPECT_EQ(clock.pendingCount(), 0u);
}

TEST(CleanerBadgesTest, CountBadgeUnderReduceMotionShowsItsEndAtOnce) {
    BadgeStage stage(true);
    auto& [clock, animator, window, badge] = stage;
    badge.setCount(2);
    EXPECT_TRUE(badge.isVisible());
    EXPECT_EQ(badge.look().scale, 1);
    EXPECT_EQ(badge.look().opacity, 1);
    badge.setCount(0);
    EXPECT_FALSE(badge.isVisible());
    EXPECT_EQ(clock.pendingCount(), 0u);
}
