#include "platform/core/Logger.h"

#include <gtest/gtest.h>

using namespace quorvex;

TEST(LoggerTest, SystemLoggerFormatsBecomePlainText) {
    struct Case {
        const char* format;
        std::vector<LogArgument> arguments;
        const char* text;
    };
    const Case cases[] = {
        {"Phase %{public}s for %f s", {std::string_view("LTE"), 10.0}, "Phase LTE for 10.000000 s"},
        {"TCP %{public}s → %{public}s",
         {std::string_view("/a/Demo"), std::string_view("1.2.3.4:443")},
         "TCP /a/Demo → 1.2.3.4:443"},
        {"Token %{private}s", {std::string_view("secret")}, "Token <private>"},
        {"%d%% of %lld", {50LL, 7LL}, "50% of 7"},
        {"%.1f s", {2.25}, "2.2 s"},
        {"missing %s", {}, "missing <missing>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(formatLogMessage(c.format, c.arguments), c.text) << c.format;
}
