#include "app/provisional/ProvisionalDeviceHub.h"

#include "app/provisional/ProvisionalNetwork.h"

#include <QTest>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

SimulatorDevice booted(const QString& name, std::optional<qint64> at) {
    SimulatorDevice device{name + "-UDID", name, std::nullopt};
    if (at)
        device.bootedAt = QDateTime::fromSecsSinceEpoch(*at);
    return device;
}

TEST(ProvisionalServicesTest, TheTargetIsTheSimulatorBootedLast) {
    struct Case {
        const char* name;
        std::vector<SimulatorDevice> devices;
        std::optional<QString> expected;
    };
    const std::vector<Case> cases = {
        {"nothing booted", {}, std::nullopt},
        {"the newest boot wins over list order", {booted("A", 100), booted("B", 300), booted("C", 200)}, "B"},
        {"an unknown boot time counts as oldest", {booted("A", std::nullopt), booted("B", 5)}, "B"},
        {"no boot times: the first listed", {booted("A", std::nullopt), booted("B", std::nullopt)}, "A"},
        {"a tie: the first listed", {booted("A", 7), booted("B", 7)}, "A"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto target = ProvisionalDeviceHub::mostRecentlyBooted(c.devices);
        EXPECT_EQ(target ? std::optional<QString>(target->name) : std::nullopt, c.expected);
    }
}

TEST(ProvisionalServicesTest, TheProvisionalNetworkShapesNothingAndItsResetFailsOnlyWhenTold) {
    ProvisionalNetwork network;
    EXPECT_FALSE(network.isActive());
    EXPECT_FALSE(network.isBusy());
    EXPECT_TRUE(network.hostRules().empty());
    for (const QByteArray& failure : {QByteArray(), QByteArray("No extension to reset.")}) {
        if (failure.isEmpty())
            qunsetenv("QUORVEX_PROVISIONAL_RESET_ERROR");
        else
            qputenv("QUORVEX_PROVISIONAL_RESET_ERROR", failure);
        std::optional<std::optional<QString>> outcome;
        network.resetSetup([&](std::optional<QString> error) { outcome = error; });
        EXPECT_FALSE(outcome) << "answers later, like the real one";
        ASSERT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }));
        EXPECT_EQ(*outcome, failure.isEmpty() ? std::nullopt : std::optional<QString>(failure));
    }
    qunsetenv("QUORVEX_PROVISIONAL_RESET_ERROR");
    bool stopped = false;
    network.stopProxyForQuit([&] { stopped = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return stopped; }));
}

} // namespace
} // namespace quorvex
