#include "panel/sections/RecentURLs.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

TEST(RecentURLsTest, OpeningPutsTheURLFirstWithoutDuplicatesAndKeepsEight) {
    struct Case {
        const char* name;
        QStringList recent;
        QString url;
        QStringList expected;
    };
    const std::vector<Case> cases = {
        {"empty history", {}, "a://1", {"a://1"}},
        {"a new URL goes first", {"a://1", "a://2"}, "a://3", {"a://3", "a://1", "a://2"}},
        {"an old URL moves to the front", {"a://1", "a://2", "a://3"}, "a://3", {"a://3", "a://1", "a://2"}},
        {"exact comparison", {"a://X"}, "a://x", {"a://x", "a://X"}},
        {"the ninth pushes out the oldest",
         {"a://8", "a://7", "a://6", "a://5", "a://4", "a://3", "a://2", "a://1"},
         "a://9",
         {"a://9", "a://8", "a://7", "a://6", "a://5", "a://4", "a://3", "a://2"}},
        {"a stored list that is too long is cut",
         {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"},
         "1",
         {"1", "2", "3", "4", "5", "6", "7", "8"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(RecentURLs::afterOpening(c.recent, c.url), c.expected);
    }
}

TEST(RecentURLsTest, OpenableTextIsOneURLWhoseSchemeStartsWithALetter) {
    struct Case {
        const char* text;
        std::optional<QString> expected;
    };
    const std::vector<Case> cases = {
        {"myapp://orders/1", "myapp://orders/1"},
        {" \thttps://example.com/a?b=c\t ", "https://example.com/a?b=c"},
        {"example.com", std::nullopt},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"--payload-url=x:y", std::nullopt},
        {"-x:y", std::nullopt},
        {"1app://x", std::nullopt},
        {"https://example.com/a b", std::nullopt},
        {"https://example.com\n", std::nullopt},
        {"mailto:someone@example.com", "mailto:someone@example.com"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(RecentURLs::openableText(QString::fromUtf8(c.text)), c.expected);
    }
}

} // namespace
} // namespace quorvex
