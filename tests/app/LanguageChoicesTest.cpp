#include "app/LanguageChoices.h"

#include "panel/sections/LanguageCodes.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

TEST(LanguageChoicesTest, PreselectsTheCurrentValueAndKeepsOneThatIsNotListed) {
    struct Case {
        std::optional<QString> current;
        QString selectedCode;
        bool ownItem;
    };
    const std::vector<Case> cases = {
        {QString("de"), "de", false},
        {QString("en-US"), "en", false},
        {QString("zh-Hans-CN"), "zh-Hans", false},
        // "pt-BR" is longer than "pt", so nothing matches: the simulator's own value stays.
        {QString("pt"), "pt", true},
        // Filipino is not Finnish: codes match on whole subtags only.
        {QString("fil"), "fil", true},
        {std::nullopt, "en", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.current.value_or("(none)").toStdString());
        const LanguageChoices::Items items = LanguageChoices::languageItems(c.current);
        EXPECT_EQ(items.items.size(), LanguageCodes::codes().size() + (c.ownItem ? 1 : 0));
        EXPECT_EQ(items.items[size_t(items.selected)].code, c.selectedCode);
    }
    const QStringList codes{"DE", "FR", "GB"};
    EXPECT_EQ(LanguageChoices::regionItems(codes, QString("FR")).selected, 1);
    const LanguageChoices::Items unlisted = LanguageChoices::regionItems(codes, QString("419"));
    EXPECT_EQ(unlisted.items.size(), 4u);
    EXPECT_EQ(unlisted.items[size_t(unlisted.selected)].code, "419");
}

TEST(LanguageChoicesTest, RunningAppsAreReadFromLaunchctl) {
    const QByteArray listing = "PID\tStatus\tLabel\n"
                               "123\t0\tUIKitApplication:com.example.shop[0x1a2b][rb-legacy]\n"
                               "-\t0\tcom.apple.backboardd\n"
                               "456\t0\tUIKitApplication:com.apple.mobilesafari[0x9][rb-legacy]\n"
                               "broken line\n";
    EXPECT_EQ(parseLaunchctlAppIDs(listing),
              (std::set<QString>{"com.example.shop", "com.apple.mobilesafari"}));
}

} // namespace
} // namespace quorvex
