#include "panel/sections/LanguageCodes.h"

#include <unicode/locid.h>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

TEST(LanguageCodesTest, MatchIsTheLongestCodeOnASubtagBoundary) {
    struct Case {
        const char* value;
        std::optional<QString> expected;
    };
    const std::vector<Case> cases = {
        {"en", "en"},
        {"en-GB", "en-GB"},
        {"en-AU", "en"},
        {"en-GB-oxendict", "en-GB"},
        {"zh-Hans-CN", "zh-Hans"},
        {"zh-Hant-TW", "zh-Hant"},
        {"pt-BR", "pt-BR"},
        {"pt", std::nullopt},
        {"fil", std::nullopt},
        {"fi-FI", "fi"},
        {"english", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(LanguageCodes::match(QString::fromLatin1(c.value)), c.expected);
    }
}

TEST(LanguageCodesTest, NamesAreInTheUsersLanguageWithTheCodeAsFallback) {
    const icu::Locale saved = icu::Locale::getDefault();
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(icu::Locale("en_US"), status);
    EXPECT_EQ(LanguageCodes::languageName("de"), "German");
    EXPECT_EQ(LanguageCodes::regionName("DE"), "Germany");
    EXPECT_EQ(LanguageCodes::regionName("GB"), "United Kingdom");
    EXPECT_EQ(LanguageCodes::languageName(""), "");
    EXPECT_EQ(LanguageCodes::regionName("Q9"), "Q9");

    icu::Locale::setDefault(icu::Locale("de_DE"), status);
    EXPECT_EQ(LanguageCodes::languageName("fr"), "Französisch");
    EXPECT_EQ(LanguageCodes::regionName("FR"), "Frankreich");
    icu::Locale::setDefault(saved, status);
    EXPECT_TRUE(U_SUCCESS(status));
}

} // namespace
} // namespace quorvex
