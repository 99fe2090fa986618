#include "storage/cleaner/CleanupHUDPresenter.h"

#include "ui/ByteCountFormatter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace quorvex {
namespace {

using Phase = CleanupProgress::Phase;
using Mark = CleanupHUDPresenter::Mark;

TEST(CleanupHUDPresenterTest, EachPhaseNamesItsDetailButtonAndMark) {
    struct Case {
        Phase phase;
        QString detail;
        QString button;
        bool enabled;
        Mark mark;
    };
    const Case cases[] = {
        {Phase::measuring(), "Measuring…", "Cleaning…", false, Mark::spinner},
        {Phase::deleting(1'500'000, 3'000'000),
         "Deleting " + ByteCountFormatter::file(1'500'000) + " of " + ByteCountFormatter::file(3'000'000),
         "Cleaning…", false, Mark::ring},
        {Phase::deleting(0, 0),
         "Deleting " + ByteCountFormatter::file(0) + " of " + ByteCountFormatter::file(0), "Cleaning…", false,
         Mark::ring},
        {Phase::success("Freed 3 MB."), "Freed 3 MB.", "Done", true, Mark::success},
        {Phase::failure("2 of 3 items failed."), "2 of 3 items failed.", "Done", true, Mark::failure},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.detail.toStdString());
        EXPECT_EQ(CleanupHUDPresenter::detailText(c.phase), c.detail);
        EXPECT_EQ(CleanupHUDPresenter::buttonText(c.phase), c.button);
        EXPECT_EQ(CleanupHUDPresenter::buttonEnabled(c.phase), c.enabled);
        EXPECT_EQ(CleanupHUDPresenter::mark(c.phase), c.mark);
    }
}

TEST(CleanupHUDPresenterTest, TheRingFractionIsClampedAndTheSliverShowsAtZero) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    struct Case {
        Phase phase;
        double fraction;
        QString percent;
        double arcEnd;
    };
    const Case cases[] = {
        {Phase::deleting(0, 0), 0.0, "0%", 0.02}, // nothing to delete: empty ring, 2 % sliver
        {Phase::deleting(5, 0), 0.0, "0%", 0.02}, // a total below one byte reads 0 %
        {Phase::deleting(0, 1000), 0.0, "0%", 0.02},
        {Phase::deleting(15, 1000), 0.015, "1%", 0.02},    // truncated, and still the sliver
        {Phase::deleting(999, 1000), 0.999, "99%", 0.999}, // never rounded up to 100 %
        {Phase::deleting(1000, 1000), 1.0, "100%", 1.0},
        {Phase::deleting(kMax, 1), 1.0, "100%", 1.0}, // done far past total: full, no overflow
        {Phase::deleting(-10, 1000), 0.0, "0%", 0.02},
        {Phase::measuring(), 0.0, "0%", 0.02},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.phase.done << " of " << c.phase.total);
        const double fraction = CleanupHUDPresenter::fraction(c.phase);
        EXPECT_DOUBLE_EQ(fraction, c.fraction);
        EXPECT_EQ(CleanupHUDPresenter::percentText(fraction), c.percent);
        EXPECT_DOUBLE_EQ(CleanupHUDPresenter::arcEnd(fraction), c.arcEnd);
    }
}

} // namespace
} // namespace quorvex
