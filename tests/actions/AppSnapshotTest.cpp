#include "actions/AppSnapshot.h"

#include <gtest/gtest.h>

#include <QSet>

using namespace quorvex;

namespace {

AppSnapshot sample() {
    AppSnapshot snapshot;
    snapshot.id = QUuid::fromString(QStringLiteral("6f1c2d3e-4a5b-4c6d-8e9f-0a1b2c3d4e5f"));
    snapshot.name = QStringLiteral("Before/after “login” ü");
    snapshot.bundleID = QStringLiteral("com.example.notes");
    snapshot.appName = QStringLiteral("Notes");
    snapshot.created = QDateTime::fromSecsSinceEpoch(1'796'910'307, Qt::UTC);
    snapshot.deviceName = QStringLiteral("iPhone 16");
    snapshot.size = 12'288;
    return snapshot;
}

} // namespace

TEST(AppSnapshotTest, ManifestIsSevenCompactMembersInOrder) {
    AppSnapshot snapshot = sample();
    snapshot.folder = "/never/written";
    EXPECT_EQ(encodeManifest(snapshot).toStdString(),
              R"({"id":"6F1C2D3E-4A5B-4C6D-8E9F-0A1B2C3D4E5F","name":"Before\/after “login” ü",)"
              R"("bundleID":"com.example.notes","appName":"Notes","created":"2026-12-10T13:45:07Z",)"
              R"("deviceName":"iPhone 16","size":12288})");
}

TEST(AppSnapshotTest, ManifestReadsBackWithoutFolder) {
    AppSnapshot snapshot = sample();
    snapshot.folder = "/somewhere";
    const auto decoded = decodeManifest(encodeManifest(snapshot));
    ASSERT_TRUE(decoded);
    snapshot.folder.reset();
    EXPECT_EQ(*decoded, snapshot);
}

TEST(AppSnapshotTest, ManifestNeedsAllSevenMembersWithTheirTypes) {
    const std::string valid = R"("id":"6F1C2D3E-4A5B-4C6D-8E9F-0A1B2C3D4E5F","name":"n","bundleID":"b",)"
                              R"("appName":"a","created":"2026-12-10T13:45:07Z","deviceName":"d")";
    struct Case {
        const char* what;
        std::string json;
        bool readable;
    };
    const Case cases[] = {
        {"complete", "{" + valid + R"(,"size":4096})", true},
        {"an unknown member is ignored", "{" + valid + R"(,"size":4096,"extra":[1]})", true},
        {"size missing", "{" + valid + "}", false},
        {"size as text", "{" + valid + R"(,"size":"4096"})", false},
        {"size not whole", "{" + valid + R"(,"size":4096.5})", false},
        {"id not a UUID",
         R"({"id":"x","name":"n","bundleID":"b","appName":"a","created":"2026-12-10T13:45:07Z","deviceName":"d","size":1})",
         false},
        {"date not a date",
         R"({"id":"6F1C2D3E-4A5B-4C6D-8E9F-0A1B2C3D4E5F","name":"n","bundleID":"b","appName":"a","created":"yesterday","deviceName":"d","size":1})",
         false},
        {"name not text",
         R"({"id":"6F1C2D3E-4A5B-4C6D-8E9F-0A1B2C3D4E5F","name":7,"bundleID":"b","appName":"a","created":"2026-12-10T13:45:07Z","deviceName":"d","size":1})",
         false},
        {"an array", "[]", false},
        {"half a file", "{" + valid.substr(0, 30), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(decodeManifest(QByteArray::fromStdString(c.json)).has_value(), c.readable);
    }
}

TEST(AppSnapshotTest, FolderTakesPartInEqualityAndHashing) {
    AppSnapshot placed = sample();
    placed.folder = "/a";
    const QSet<AppSnapshot> set{sample(), placed, sample()};
    EXPECT_EQ(set.size(), 2);
    EXPECT_NE(sample(), placed);
}
