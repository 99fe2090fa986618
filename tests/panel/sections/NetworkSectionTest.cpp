#include "panel/sections/NetworkSection.h"
#include "panel/controller/QuietNetwork.h"

#include "network/model/NetworkService.h"
#include "panel/widgets/Segments.h"
#include "panel/widgets/Spinner.h"
#include "panel/widgets/ValueMenu.h"

#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

NetworkProfile builtIn(const char* id) {
    return NetworkProfile::builtIn(id).value();
}

// Remembers one profile per bundle ID like the real model ("unlimited" clears it) and reports
// each change synchronously, as the real model does when a commit ends at once.
class FakeNetwork final : public test::QuietNetwork {
public:
    bool isActive() const override { return !m_profiles.empty(); }
    bool isBusy() const override { return m_busy; }
    NetworkProfile profile(const SimulatorApp& app) const override {
        const auto found = m_profiles.find(app.id);
        return found == m_profiles.end() ? builtIn("unlimited") : found->second;
    }
    void setProfile(const NetworkProfile& profile, const SimulatorApp& app) override {
        calls.push_back({profile, app.id});
        if (profile.id == "unlimited")
            m_profiles.erase(app.id);
        else
            m_profiles[app.id] = profile;
        emit stateChanged();
    }

    void setBusy(bool busy) {
        m_busy = busy;
        emit stateChanged();
    }

    std::vector<std::pair<NetworkProfile, QString>> calls;

private:
    std::map<QString, NetworkProfile> m_profiles;
    bool m_busy = false;
};

SimulatorApp shop() {
    SimulatorApp app;
    app.id = "com.example.shop";
    app.name = "Shop";
    return app;
}

QStringList menuTitles(const NetworkSection& section) {
    QStringList titles;
    for (const QAction* item : section.otherSpeeds()->items()->actions())
        titles << (item->isSeparator() ? "[" + item->text() + "]" : item->text());
    return titles;
}

QStringList checkedItems(const NetworkSection& section) {
    QStringList titles;
    for (const QAction* item : section.otherSpeeds()->items()->actions())
        if (item->data().toString() == "checkmark")
            titles << item->text();
    return titles;
}

QAction* menuItem(const NetworkSection& section, const QString& title) {
    for (QAction* item : section.otherSpeeds()->items()->actions())
        if (item->text() == title)
            return item;
    return nullptr;
}

TEST(NetworkSectionTest, TheMenuListsFiveSpeedsThenTheFlakyNetworkGroup) {
    FakeNetwork network;
    NetworkSection section(shop(), network);
    EXPECT_EQ(menuTitles(section), (QStringList{"No Limit (this computer’s connection)", "LTE", "3G", "Edge",
                                                "Very Slow", "[Flaky Network]", "Elevator", "Commuter Train",
                                                "Spotty Wi-Fi", "Dropping Connection"}));
    // The value-and-chevron label is laid out right to left; its menu must not inherit that, or
    // every item's symbol lands at the far end of its row.
    EXPECT_EQ(section.otherSpeeds()->items()->layoutDirection(), Qt::LeftToRight);
}

TEST(NetworkSectionTest, EveryPickIsHandedToTheModelAndTheCardFollowsIt) {
    FakeNetwork network;
    NetworkSection section(shop(), network);
    section.show();
    struct Step {
        const char* name;
        std::function<void()> pick;
        QString sent;
        std::optional<size_t> segment;
        QString value;
        QStringList checked;
    };
    const auto segment = [&](size_t index) {
        return [&, index] { QTest::mouseClick(section.segments()->button(index), Qt::LeftButton); };
    };
    const auto item = [&](const char* title) {
        return [&, title] {
            QAction* action = menuItem(section, title);
            ASSERT_NE(action, nullptr) << title;
            action->trigger();
        };
    };
    const std::vector<Step> steps = {
        {"5G segment", segment(1), "5g", 1, "None", {}},
        {"5G again: not filtered out", segment(1), "5g", 1, "None", {}},
        {"a scenario", item("Commuter Train"), "train", std::nullopt, "Commuter Train", {"Commuter Train"}},
        {"another speed", item("LTE"), "lte", std::nullopt, "LTE", {"LTE"}},
        {"no limit clears the choice",
         item("No Limit (this computer’s connection)"),
         "unlimited",
         std::nullopt,
         "No Limit",
         {"No Limit (this computer’s connection)"}},
        {"Off segment", segment(2), "off", 2, "None", {}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        const size_t before = network.calls.size();
        step.pick();
        ASSERT_EQ(network.calls.size(), before + 1);
        EXPECT_EQ(network.calls.back().first.id, step.sent.toStdString());
        EXPECT_EQ(network.calls.back().second, "com.example.shop");
        EXPECT_EQ(section.segments()->selectedIndex(), step.segment);
        EXPECT_EQ(section.otherSpeeds()->text(), step.value);
        EXPECT_EQ(checkedItems(section), step.checked);
    }
    EXPECT_EQ(network.calls.back().first, builtIn("off")) << "the whole built-in profile, not just its id";
}

TEST(NetworkSectionTest, AnAppWithoutAChoiceShowsNoLimitAndNoSegment) {
    FakeNetwork network;
    SimulatorApp other = shop();
    other.id = "com.example.other";
    network.setProfile(builtIn("edge"), other);
    NetworkSection section(shop(), network);
    EXPECT_EQ(section.segments()->selectedIndex(), std::nullopt);
    EXPECT_EQ(section.otherSpeeds()->text(), "No Limit");
    section.setApp(other);
    EXPECT_EQ(section.otherSpeeds()->text(), "Edge");
}

TEST(NetworkSectionTest, WhileTheModelIsBusyTheSpinnerShowsAndNothingReacts) {
    FakeNetwork network;
    NetworkSection section(shop(), network);
    section.show();
    EXPECT_TRUE(section.spinner()->isHidden());

    network.setBusy(true);
    EXPECT_FALSE(section.spinner()->isHidden());
    EXPECT_FALSE(section.segments()->button(0)->isEnabled());
    EXPECT_FALSE(section.otherSpeeds()->isEnabled());
    QTest::mouseClick(section.segments()->button(0), Qt::LeftButton);
    EXPECT_TRUE(network.calls.empty());

    network.setBusy(false);
    EXPECT_TRUE(section.spinner()->isHidden());
    QTest::mouseClick(section.segments()->button(0), Qt::LeftButton);
    ASSERT_EQ(network.calls.size(), 1u);
    EXPECT_EQ(network.calls[0].first.id, "wifi");
}

} // namespace
} // namespace quorvex
