#include "storage/engine/SimulatorScanners.h"

#include "support/FakeXcrun.h"
#include "tools/Environment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>

using namespace quorvex;
namespace fs = std::filesystem;
using Tag = CleanupItem::Tag;

namespace {

const QDateTime kNow(QDate(2026, 6, 1), QTime(12, 0), Qt::UTC);
constexpr const char* kUdid = "5C1A7E2B-0000-4000-8000-000000000001";

QStringList idsOf(const std::vector<CleanupItem>& items) {
    QStringList ids;
    for (const CleanupItem& item : items)
        ids << item.id;
    return ids;
}

class SimulatorScannersTest : public ::testing::Test {
protected:
    void SetUp() override {
        devicesFolder = homeDirectoryURL() / "Library/Developer/CoreSimulator/Devices";
        fs::remove_all(homeDirectoryURL() / "Library");
        fs::create_directories(devicesFolder);
    }
    std::vector<CleanupItem> simulators() {
        return SimulatorScanners::scanSimulators([] { return kNow; });
    }
    void listDevices(const nlohmann::json& report) {
        fake.clearRules().on({"simctl", "list", "devices", "-j"}, report.dump());
    }
    static nlohmann::json device(const std::string& udid, nlohmann::json extra = nlohmann::json::object()) {
        extra["udid"] = udid;
        return extra;
    }

    test::FakeXcrun fake;
    fs::path devicesFolder;
};

} // namespace

// Whatever simctl answers that is not the expected shape gives no items at all, and no folder is
// then called orphaned.
TEST_F(SimulatorScannersTest, BrokenReportsGiveNothing) {
    fs::create_directories(devicesFolder / kUdid);
    struct Case {
        const char* what;
        std::optional<std::string> output; // nothing: the tool fails
    };
    const Case cases[] = {
        {"the tool fails", std::nullopt},
        {"not JSON", "Unable to locate"},
        {"an array", "[]"},
        {"no devices", R"({"runtimes": {}})"},
        {"devices not an object", R"({"devices": []})"},
        {"a runtime that is not an array", R"({"devices": {"r": {"udid": "x"}}})"},
        {"a device that is not an object", R"({"devices": {"r": ["5C1A7E2B-0000-4000-8000-000000000001"]}})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fake.clearRules();
        if (c.output)
            fake.on({"simctl", "list", "devices", "-j"}, *c.output);
        EXPECT_TRUE(simulators().empty());
    }
}

TEST_F(SimulatorScannersTest, DevicesTheirTagsAndOrphanedFolders) {
    const std::string lowerUdid = "5c1a7e2b-0000-4000-8000-0000000000aa";
    listDevices({{"devices",
                  {{"com.apple.CoreSimulator.SimRuntime.iOS-17-2",
                    {device(kUdid, {{"name", "iPhone 15"}, {"state", "Booted"}, {"dataPathSize", 1000}}),
                     device("5C1A7E2B-0000-4000-8000-000000000002",
                            {{"isAvailable", false}, {"state", "booted"}, {"dataPathSize", -5}}),
                     device("all", {{"name", "not a device"}}),
                     device("-rf"),
                     nlohmann::json::object(),
                     {{"name", "no udid"}},
                     device("5C1A7E2B-0000-4000-8000-0000000000AA", {{"dataPathSize", 1e300}})}},
                   {"com.apple.CoreSimulator.SimRuntime.xrOS-1-0", nlohmann::json::array()}}}});
    // The live device's folder in lower case, an orphan, a hidden folder and a non-UUID folder.
    fs::create_directories(devicesFolder / lowerUdid);
    const std::string orphan = "0C0FFEE0-0000-4000-8000-000000000009";
    fs::create_directories(devicesFolder / orphan / "data");
    std::ofstream(devicesFolder / orphan / "data/file") << std::string(5000, 'x');
    fs::create_directories(devicesFolder / ".0C0FFEE0-0000-4000-8000-00000000000A");
    fs::create_directories(devicesFolder / "device_set.plist");

    const auto items = simulators();
    ASSERT_EQ(idsOf(items),
              (QStringList{QStringLiteral("sim:") + kUdid, "sim:5C1A7E2B-0000-4000-8000-000000000002",
                           "sim:5C1A7E2B-0000-4000-8000-0000000000AA",
                           QString::fromStdString("orphan:" + orphan)}));
    EXPECT_EQ(items[0].title, "iPhone 15");
    EXPECT_EQ(items[0].subtitle, "iOS 17.2");
    EXPECT_EQ(items[0].protectedReason, QStringLiteral("Running — shut it down first"));
    EXPECT_EQ(items[0].size, 1000);
    EXPECT_EQ(items[1].protectedReason, std::nullopt); // "booted" is not "Booted"
    EXPECT_EQ(items[1].subtitle, "iOS 17.2 · runtime not installed");
    EXPECT_EQ(items[1].tags, (std::set<Tag>{Tag::unavailable, Tag::recommended}));
    EXPECT_EQ(items[1].size, 0);
    EXPECT_EQ(items[2].size, std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(items[3].tags, (std::set<Tag>{Tag::orphaned, Tag::recommended}));
    EXPECT_GE(items[3].size, 4096);
    EXPECT_EQ(items[3].removal, CleanupRemoval::ofFile(devicesFolder / orphan));
}

// Exactly at the cut-off a device is not old; one second earlier it is.
TEST_F(SimulatorScannersTest, DevicesOlderThanNinetyDaysAreOld) {
    const auto at = [](qint64 secondsBefore) {
        return kNow.addSecs(-secondsBefore).toString(Qt::ISODate).toStdString();
    };
    const qint64 cutOff = 90 * 24 * 3600;
    listDevices(
        {{"devices",
          {{"r",
            {device("5C1A7E2B-0000-4000-8000-000000000001", {{"lastUsedAt", at(cutOff)}}),
             device("5C1A7E2B-0000-4000-8000-000000000002", {{"lastUsedAt", at(cutOff + 1)}}),
             device("5C1A7E2B-0000-4000-8000-000000000003", {{"lastUsedAt", "2020-01-01T00:00:00.5Z"}}),
             device("5C1A7E2B-0000-4000-8000-000000000004", {{"lastUsedAt", 12}})}}}}});
    const auto items = simulators();
    ASSERT_EQ(items.size(), 4u);
    EXPECT_FALSE(items[0].tags.count(Tag::old));
    EXPECT_TRUE(items[1].tags.count(Tag::old));
    EXPECT_EQ(items[2].date, std::nullopt); // fractional seconds are not the format
    EXPECT_FALSE(items[2].tags.count(Tag::old));
    EXPECT_EQ(items[3].date, std::nullopt);
}

// Only a UUID can be handed to `simctl runtime delete`: a runtime named otherwise ("all", an
// option) is no runtime of ours and is not listed, so "select all" never ends in a failure.
TEST_F(SimulatorScannersTest, RuntimesAreOldUnlessTheNewestOfTheirPlatform) {
    const auto id = [](char letter) { return std::string("0C0FFEE0-0000-4000-8000-00000000000") + letter; };
    const auto runtime = [&](char letter, const char* platform, const char* version,
                             nlohmann::json extra = nlohmann::json::object()) {
        extra["identifier"] = id(letter);
        extra["runtimeIdentifier"] = platform;
        extra["version"] = version;
        return extra;
    };
    const char* ios = "com.apple.CoreSimulator.SimRuntime.iOS-17-2";
    nlohmann::json report = {
        {"a", runtime('A', ios, "17.2", {{"build", "21C62"}, {"sizeBytes", 7000}})},
        {"b", runtime('B', ios, "17.10", {{"deletable", false}})},
        {"c", runtime('C', ios, "17.10")},
        {"d", runtime('D', "com.apple.CoreSimulator.SimRuntime.xrOS-1-0", "1.0")},
        {"e", runtime('E', "com.apple.CoreSimulator.SimRuntime.xrOS-1-0", "1")},
        {"f", {{"identifier", id('F')}, {"version", "9"}}},
        {"g", {{"version", "no identifier"}}},
        {"h", {{"identifier", "all"}, {"runtimeIdentifier", ios}, {"version", "99.0"}}},
        {"i", {{"identifier", "-rf"}, {"runtimeIdentifier", ios}, {"version", "99.0"}}},
    };
    fake.on({"simctl", "runtime", "list", "-j"}, report.dump());
    const auto items = SimulatorScanners::scanRuntimes();
    QStringList expected;
    for (char letter : {'A', 'B', 'C', 'D', 'E', 'F'})
        expected << QString::fromStdString("rt:" + id(letter));
    ASSERT_EQ(idsOf(items), expected);
    EXPECT_EQ(items[0].title, "iOS 17.2");
    EXPECT_EQ(items[0].subtitle, "Build 21C62");
    EXPECT_TRUE(items[0].tags.count(Tag::old)); // 17.2 is older than 17.10
    EXPECT_FALSE(items[1].tags.count(Tag::old));
    EXPECT_EQ(items[1].protectedReason, QStringLiteral("Installed with Xcode, can’t be deleted"));
    EXPECT_FALSE(items[2].tags.count(Tag::old));
    EXPECT_EQ(items[3].title, "visionOS 1.0");
    EXPECT_FALSE(items[3].tags.count(Tag::old)); // [1, 0] is newer than [1]
    EXPECT_TRUE(items[4].tags.count(Tag::old));
    EXPECT_EQ(items[5].title, "Runtime 9");
    EXPECT_EQ(items[5].subtitle, "Build ?");

    fake.clearRules().on({"simctl", "runtime", "list", "-j"}, R"({"a": 1})");
    EXPECT_TRUE(SimulatorScanners::scanRuntimes().empty());
}

TEST(SimulatorScannersSizeTest, ReportedSizesAreClamped) {
    EXPECT_EQ(SimulatorScanners::reportedSize(-1), 0);
    EXPECT_EQ(SimulatorScanners::reportedSize(std::nan("")), 0);
    EXPECT_EQ(SimulatorScanners::reportedSize(1e30), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(SimulatorScanners::reportedSize(1234.7), 1234);
}
