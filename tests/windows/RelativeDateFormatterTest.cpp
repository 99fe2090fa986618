#include "windows/RelativeDateFormatter.h"

#include <gtest/gtest.h>

using namespace quorvex;

TEST(RelativeDateFormatterTest, NamesDaysWeeksMonthsAndYearsAndCountsTheRest) {
    const QDateTime now(QDate(2026, 12, 10), QTime(12, 0, 0));
    struct Case {
        qint64 secondsAgo;
        const char* text;
    };
    const std::vector<Case> cases = {
        {0, "now"},
        {1, "1 second ago"},
        {59, "59 seconds ago"},
        {60, "1 minute ago"},
        {120, "2 minutes ago"},
        {3600, "1 hour ago"},
        {23 * 3600, "23 hours ago"},
        {86400, "yesterday"},
        {3 * 86400, "3 days ago"},
        {7 * 86400, "last week"},
        {14 * 86400, "2 weeks ago"},
        {30 * 86400, "last month"},
        {400 * 86400, "last year"},
        {800 * 86400, "2 years ago"},
        {-7200, "in 2 hours"},
        {-86400, "tomorrow"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RelativeDateFormatter::format(now.addSecs(-c.secondsAgo), now), c.text) << c.secondsAgo;
}
