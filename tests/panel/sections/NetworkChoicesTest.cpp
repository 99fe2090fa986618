#include "panel/sections/NetworkChoices.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

NetworkProfile builtIn(const char* id) {
    return NetworkProfile::builtIn(id).value();
}

QStringList checkedMenuItems(const NetworkProfile& current) {
    QStringList result;
    for (const auto* list : {&NetworkChoices::otherSpeedProfiles(), &NetworkProfile::scenarios()})
        for (const NetworkProfile& profile : *list)
            if (NetworkChoices::menuSymbol(profile, current) == "checkmark")
                result << QString::fromStdString(profile.id);
    return result;
}

TEST(NetworkChoicesTest, MenuOffersTheFiveOtherSpeedsInOrder) {
    QStringList titles;
    for (const NetworkProfile& profile : NetworkChoices::otherSpeedProfiles())
        titles << NetworkChoices::menuTitle(profile);
    EXPECT_EQ(titles,
              (QStringList{"No Limit (this computer’s connection)", "LTE", "3G", "Edge", "Very Slow"}));
    ASSERT_EQ(NetworkChoices::quickProfiles().size(), 3u);
    EXPECT_EQ(NetworkChoices::quickProfiles()[1], builtIn("5g"));
}

TEST(NetworkChoicesTest, CurrentProfileSetsSegmentValueTextAndCheckMark) {
    NetworkProfile edited5G = builtIn("5g");
    edited5G.phases.front().conditions.downDelayMs += 1;
    struct Case {
        const char* name;
        NetworkProfile current;
        std::optional<QString> segment;
        QString valueText;
        QStringList checked;
    };
    const std::vector<Case> cases = {
        {"no choice: unlimited", builtIn("unlimited"), std::nullopt, "No Limit", {"unlimited"}},
        {"a quick profile", builtIn("5g"), "5g", "None", {}},
        {"another speed", builtIn("lte"), std::nullopt, "LTE", {"lte"}},
        {"a scenario", builtIn("train"), std::nullopt, "Commuter Train", {"train"}},
        {"same id, other phases: not the quick profile", edited5G, std::nullopt, "5G", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(NetworkChoices::selectedSegment(c.current), c.segment);
        EXPECT_EQ(NetworkChoices::valueText(c.current), c.valueText);
        EXPECT_EQ(checkedMenuItems(c.current), c.checked);
    }
}

} // namespace
} // namespace quorvex
