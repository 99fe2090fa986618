#include "devices/core/PhysicalDevices.h"

#include "support/FakeClock.h"
#include "support/FakeXcrun.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include <algorithm>
#include <cstdlib>

using namespace quorvex;
using Args = std::vector<std::string>;

namespace {

const Args kList = {"devicectl", "list", "devices", "--json-output", "-", "-q"};

std::string deviceList(const std::vector<std::string>& ids) {
    nlohmann::json devices = nlohmann::json::array();
    for (const std::string& id : ids)
        devices.push_back({{"identifier", id},
                           {"deviceProperties", {{"name", "Phone " + id}}},
                           {"hardwareProperties", {{"reality", "physical"}, {"platform", "iOS"}}},
                           {"connectionProperties", {{"tunnelState", "connected"}}}});
    return nlohmann::json{{"result", {{"devices", devices}}}}.dump();
}

// One device "A" with one capability and one app.
void answerOneDevice(test::FakeXcrun& fake) {
    fake.on(kList, deviceList({"A"}));
    fake.on({"devicectl", "device", "info", "details", "--device", "A", "--json-output", "-", "-q"},
            R"({"result":{"capabilities":[{"featureIdentifier":"launch"}]}})");
    fake.on({"devicectl", "device", "info", "apps", "--device", "A", "--require-container-access",
             "--json-output", "-", "-q"},
            R"({"result":{"apps":[{"bundleIdentifier":"com.example.shop","name":"Shop"}]}})");
}

size_t countCalls(const test::FakeXcrun& fake, const std::string& verb) {
    size_t count = 0;
    for (const Args& args : fake.argumentLists())
        if (std::find(args.begin(), args.end(), verb) != args.end())
            ++count;
    return count;
}

// Runs the clock to the next cycle and waits for that cycle to end.
void nextCycle(test::FakeClock& clock, QSignalSpy& cycles) {
    const auto before = cycles.count();
    clock.advance(PhysicalDevices::kPollInterval);
    if (cycles.count() == before) {
        ASSERT_TRUE(cycles.wait(10'000));
    }
}

} // namespace

TEST(PhysicalDevicesTest, NewDeviceIsPublishedWithItsCapabilitiesAndApps) {
    test::FakeXcrun fake;
    answerOneDevice(fake);
    test::FakeClock clock;
    PhysicalDevices model(clock);
    QSignalSpy cycles(&model, &PhysicalDevices::cycleFinished);
    model.startPolling();
    ASSERT_TRUE(cycles.wait(10'000));

    ASSERT_EQ(model.devices().size(), 1u);
    EXPECT_EQ(model.devices()[0].id, QString("A"));
    EXPECT_EQ(model.devices()[0].capabilities, std::set<QString>{"launch"});
    EXPECT_EQ(model.capabilities().at("A"), std::set<QString>{"launch"});
    ASSERT_EQ(model.apps().at("A").size(), 1u);
    EXPECT_EQ(model.apps().at("A")[0].id, QString("com.example.shop"));
}

TEST(PhysicalDevicesTest, DeviceSeenInTwoCyclesIsFetchedOnceAndUnchangedCycleSignalsNothing) {
    test::FakeXcrun fake;
    answerOneDevice(fake);
    test::FakeClock clock;
    PhysicalDevices model(clock);
    QSignalSpy cycles(&model, &PhysicalDevices::cycleFinished);
    model.startPolling();
    ASSERT_TRUE(cycles.wait(10'000));

    QSignalSpy devices(&model, &PhysicalDevices::devicesChanged);
    QSignalSpy apps(&model, &PhysicalDevices::appsChanged);
    QSignalSpy capabilities(&model, &PhysicalDevices::capabilitiesChanged);
    nextCycle(clock, cycles);
    nextCycle(clock, cycles);

    EXPECT_EQ(countCalls(fake, "devices"), 3u);
    EXPECT_EQ(countCalls(fake, "details"), 1u);
    EXPECT_EQ(countCalls(fake, "apps"), 1u);
    EXPECT_EQ(devices.count(), 0);
    EXPECT_EQ(apps.count(), 0);
    EXPECT_EQ(capabilities.count(), 0);
}

TEST(PhysicalDevicesTest, WithNoDeviceNobodyIsEverNotified) {
    test::FakeXcrun fake;
    fake.on(kList, deviceList({}));
    test::FakeClock clock;
    PhysicalDevices model(clock);
    QSignalSpy cycles(&model, &PhysicalDevices::cycleFinished);
    QSignalSpy devices(&model, &PhysicalDevices::devicesChanged);
    QSignalSpy apps(&model, &PhysicalDevices::appsChanged);
    QSignalSpy capabilities(&model, &PhysicalDevices::capabilitiesChanged);
    model.startPolling();
    ASSERT_TRUE(cycles.wait(10'000));
    nextCycle(clock, cycles);

    EXPECT_TRUE(model.devices().empty());
    EXPECT_EQ(devices.count() + apps.count() + capabilities.count(), 0);
}

TEST(PhysicalDevicesTest, FailedListPrunesTheDeviceAndItsReturnFetchesAgain) {
    test::FakeXcrun fake;
    answerOneDevice(fake);
    test::FakeClock clock;
    PhysicalDevices model(clock);
    QSignalSpy cycles(&model, &PhysicalDevices::cycleFinished);
    model.startPolling();
    ASSERT_TRUE(cycles.wait(10'000));

    fake.clearRules(); // every command fails now
    QSignalSpy devices(&model, &PhysicalDevices::devicesChanged);
    QSignalSpy apps(&model, &PhysicalDevices::appsChanged);
    QSignalSpy capabilities(&model, &PhysicalDevices::capabilitiesChanged);
    nextCycle(clock, cycles);
    EXPECT_TRUE(model.devices().empty());
    EXPECT_TRUE(model.apps().empty());
    EXPECT_TRUE(model.capabilities().empty());
    EXPECT_EQ(devices.count(), 1);
    EXPECT_EQ(apps.count(), 1);
    EXPECT_EQ(capabilities.count(), 1);

    answerOneDevice(fake);
    nextCycle(clock, cycles);
    EXPECT_EQ(model.devices().size(), 1u);
    EXPECT_EQ(countCalls(fake, "details"), 2u);
    EXPECT_EQ(countCalls(fake, "apps"), 2u);
}

TEST(PhysicalDevicesTest, FailedFetchLeavesAnEmptyEntryThatIsNotRetried) {
    test::FakeXcrun fake;
    fake.on(kList, deviceList({"A"})); // details and apps have no rule: they fail
    test::FakeClock clock;
    PhysicalDevices model(clock);
    QSignalSpy cycles(&model, &PhysicalDevices::cycleFinished);
    model.startPolling();
    ASSERT_TRUE(cycles.wait(10'000));
    nextCycle(clock, cycles);

    ASSERT_EQ(model.devices().size(), 1u);
    EXPECT_TRUE(model.apps().at("A").empty());
    EXPECT_TRUE(model.capabilities().at("A").empty());
    EXPECT_EQ(countCalls(fake, "details"), 1u);
    EXPECT_EQ(countCalls(fake, "apps"), 1u);
}

TEST(PhysicalDevicesTest, PauseRunsFromTheEndOfACycle) {
    test::FakeXcrun fake;
    fake.on(kList, deviceList({}));
    test::FakeClock clock;
    PhysicalDevices model(clock);
    QSignalSpy cycles(&model, &PhysicalDevices::cycleFinished);
    model.startPolling();
    EXPECT_EQ(clock.pendingCount(), 0u); // nothing is scheduled while a cycle runs
    ASSERT_TRUE(cycles.wait(10'000));
    EXPECT_EQ(clock.pendingCount(), 1u);

    clock.advance(PhysicalDevices::kPollInterval - 0.5);
    EXPECT_EQ(countCalls(fake, "devices"), 1u);
    clock.advance(0.5);
    ASSERT_TRUE(cycles.wait(10'000));
    EXPECT_EQ(countCalls(fake, "devices"), 2u);
}

TEST(PhysicalDevicesTest, StartDoesNothingUnderATestHostOrWhenAlreadyPolling) {
    test::FakeXcrun fake;
    fake.on(kList, deviceList({}));
    test::FakeClock clock;
    {
        PhysicalDevices model(clock);
        ::setenv("XCTestConfigurationFilePath", "", 1);
        model.start();
        ::unsetenv("XCTestConfigurationFilePath");
        EXPECT_FALSE(model.isPolling());
    }
    PhysicalDevices model(clock);
    QSignalSpy cycles(&model, &PhysicalDevices::cycleFinished);
    model.start();
    model.start();
    model.startPolling();
    ASSERT_TRUE(cycles.wait(10'000));
    EXPECT_EQ(countCalls(fake, "devices"), 1u);
    EXPECT_EQ(clock.pendingCount(), 1u);
}
