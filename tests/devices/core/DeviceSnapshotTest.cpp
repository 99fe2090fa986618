#include "devices/core/DeviceSnapshot.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <fstream>

namespace quorvex {
namespace {

namespace fs = std::filesystem;

std::string manifest(const std::string& id, const std::string& name, const std::string& date,
                     const std::string& size) {
    return R"({"id":")" + id + R"(","name":")" + name +
           R"(","bundleID":"com.demo.maps","deviceName":"Ana's iPhone",)" + R"("date":")" + date +
           R"(","size":)" + size + "}";
}

TEST(DeviceSnapshotTest, SafeFileNamesKeepOnlyPlainCharacters) {
    EXPECT_EQ(DeviceSnapshot::safeFileName("com.demo.maps-2_b"), "com.demo.maps-2_b");
    EXPECT_EQ(DeviceSnapshot::safeFileName("../a b/c"), ".._a_b_c");
    EXPECT_EQ(DeviceSnapshot::safeFileName(""), "_");
}

TEST(DeviceSnapshotTest, ListsReadableManifestsNewestFirstAndSkipsTheRest) {
    const fs::path folder = DeviceSnapshot::rootFolder() / "com.demo.maps";
    const auto write = [&](const std::string& entry, const std::string& text) {
        fs::create_directories(folder / entry);
        std::ofstream(folder / entry / "info.json") << text;
    };
    write("a", manifest("6F9619FF-8B86-D011-B42D-00C04FC964FF", "Older", "2026-01-02T10:00:00Z", "2048"));
    write(".hidden", manifest("7F9619FF-8B86-D011-B42D-00C04FC964FF", "Newer", "2026-03-02T10:00:00Z", "1"));
    write("no-date", manifest("8F9619FF-8B86-D011-B42D-00C04FC964FF", "Broken", "yesterday", "1"));
    write("text-size",
          manifest("9F9619FF-8B86-D011-B42D-00C04FC964FF", "Broken", "2026-03-02T10:00:00Z", "\"1\""));
    write("not-json", "{");
    fs::create_directories(folder / "empty");

    const std::vector<DeviceSnapshot> snapshots = DeviceSnapshot::list("com.demo.maps");
    ASSERT_EQ(snapshots.size(), 2u);
    EXPECT_EQ(snapshots[0].name, "Newer");
    EXPECT_EQ(snapshots[1].name, "Older");
    EXPECT_EQ(snapshots[1].size, 2048);
    EXPECT_EQ(snapshots[1].deviceName, "Ana's iPhone");
    EXPECT_EQ(snapshots[1].date, QDateTime(QDate(2026, 1, 2), QTime(10, 0), Qt::UTC));
    EXPECT_TRUE(DeviceSnapshot::list("com.demo.none").empty());
    fs::remove_all(DeviceSnapshot::rootFolder());
}

} // namespace
} // namespace quorvex
