#include "simulator/DeviceTools.h"

#include "support/FakeXcrun.h"
#include "tools/Environment.h"
#include "tools/ToolRunner.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>

using namespace quorvex;
using Args = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

const QString kUdid = QStringLiteral("KEYCHAIN-UDID");
const char* const kTables[] = {"genp", "inet", "cert", "keys"};
const std::string kSqlite = "/usr/bin/sqlite3";

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

// Runs the real shell on the fixture database; the fixture is built without the program's code.
std::string sqlite(const fs::path& database, const std::string& sql) {
    const auto output = runTool(kSqlite, Args{"-init", "/dev/null", database.string(), sql});
    EXPECT_TRUE(output) << sql;
    return output ? output->toStdString() : std::string();
}

// The simulator's keychain database with the item tables and their access-group column. Every
// table gets the same access groups, so a wrong table order or a missed table shows.
class KeychainTest : public ::testing::Test {
protected:
    void SetUp() override {
        database = DeviceTools::keychainDatabaseURL(kUdid);
        fs::create_directories(database.parent_path());
        fake.on({"**"});
    }
    void TearDown() override { fs::remove_all(homeDirectoryURL() / "Library"); }

    void createDatabase(const std::vector<std::string>& groups, bool withKeysTable = true) {
        std::string sql;
        for (const char* table : kTables) {
            if (!withKeysTable && std::string(table) == "keys")
                continue;
            sql +=
                std::string("CREATE TABLE ") + table + " (rowid INTEGER PRIMARY KEY, agrp TEXT, acct TEXT);";
            for (const std::string& group : groups)
                sql += std::string("INSERT INTO ") + table + " (agrp, acct) VALUES (" + quoted(group) +
                       ", 'a');";
        }
        sqlite(database, sql);
    }

    // Access groups left, per table.
    std::map<std::string, std::multiset<std::string>> remaining(bool withKeysTable = true) {
        std::map<std::string, std::multiset<std::string>> result;
        for (const char* table : kTables) {
            if (!withKeysTable && std::string(table) == "keys")
                continue;
            auto& groups = result[table];
            const std::string output =
                sqlite(database, std::string("SELECT hex(agrp) FROM ") + table + " ORDER BY rowid");
            for (size_t start = 0; start < output.size();) {
                const size_t end = output.find('\n', start);
                const QByteArray hex = QByteArray::fromStdString(output.substr(start, end - start));
                groups.insert(QByteArray::fromHex(hex).toStdString());
                start = end == std::string::npos ? output.size() : end + 1;
            }
        }
        return result;
    }

    test::FakeXcrun fake;
    fs::path database;
};

} // namespace

TEST(KeychainConditionTest, QuoteIsDoubledWhereverTheBundleIdentifierStands) {
    EXPECT_EQ(
        DeviceTools::keychainMatchCondition(QStringLiteral("it's.app")),
        QStringLiteral("(agrp = 'it''s.app' OR (substr(agrp, 1, 10) GLOB "
                       "'[A-Z0-9][A-Z0-9][A-Z0-9][A-Z0-9][A-Z0-9][A-Z0-9][A-Z0-9][A-Z0-9][A-Z0-9][A-Z0-9]' "
                       "AND substr(agrp, 11, 1) = '.' AND agrp = substr(agrp, 1, 11) || 'it''s.app'))"));
}

TEST(KeychainConditionTest, SystemIdentifiersAreRecognised) {
    struct Case {
        const char* identifier;
        bool system;
    };
    const Case cases[] = {
        {"", true},
        {"   ", true},
        {"\n\t", true},
        {"com.apple.mobilesafari", true},
        {"com.apple.", true},
        {"apple", true},
        {"ichat", true},
        {"lockdown-identities", true},
        {"com.apple.token", true},
        {"com.example.app", false},
        {"Apple", false},  // exact, case-sensitive
        {" ichat", false}, // the reserved names compare untrimmed
        {"com.applex", false},
        {"ABCDE12345.com.apple.x", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DeviceTools::isSystemKeychainIdentifier(QString::fromUtf8(c.identifier)), c.system)
            << c.identifier;
}

TEST_F(KeychainTest, OnlyTheAppsOwnGroupsAreCountedAndDeleted) {
    struct Case {
        const char* bundleID;
        std::vector<std::string> matching;
        std::vector<std::string> others;
    };
    const Case cases[] = {
        {"com.example.app",
         {"com.example.app", "ABCDE12345.com.example.app", "0123456789.com.example.app"},
         {"ABCDE1234.com.example.app",      // nine-character prefix
          "ABCDE123456.com.example.app",    // eleven-character prefix
          "abcde12345.com.example.app",     // lower case is not a team prefix
          "ABCDE12345.com.example.app.ext", // a longer group
          "ABCDE12345xcom.example.app",     // no dot after the prefix
          "ABCDE12345.com.example.other", "com.example", "COM.EXAMPLE.APP", "group.com.example.app"}},
        {"it's.app", {"it's.app", "TEAM000001.it's.app"}, {"its.app", "it''s.app", "it"}},
        {"x' OR 1=1 --", {"x' OR 1=1 --", "ZZZZZZZZZZ.x' OR 1=1 --"}, {"x", "com.example.app", "x' OR 1=1"}},
        {"a%_*?[b]", {"a%_*?[b]"}, {"aXYb", "a%_*?[b]x", "a"}}, // no wildcard inside the identifier
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bundleID);
        fs::remove(database);
        std::vector<std::string> groups = c.others;
        groups.insert(groups.end(), c.matching.begin(), c.matching.end());
        createDatabase(groups);
        const QString bundleID = QString::fromUtf8(c.bundleID);

        EXPECT_EQ(DeviceTools::keychainItemCount(bundleID, kUdid), std::int64_t(4 * c.matching.size()));

        fake.clearLog();
        ASSERT_TRUE(DeviceTools::resetAppKeychain(bundleID, kUdid));
        const std::multiset<std::string> expected(c.others.begin(), c.others.end());
        for (const auto& [table, left] : remaining())
            EXPECT_EQ(left, expected) << table;
        EXPECT_EQ(DeviceTools::keychainItemCount(bundleID, kUdid), 0);
        EXPECT_EQ(fake.argumentLists(),
                  (std::vector<Args>{{"simctl", "terminate", "KEYCHAIN-UDID", c.bundleID},
                                     {"simctl", "spawn", "KEYCHAIN-UDID", "launchctl", "kickstart", "-k",
                                      "user/foreground/com.apple.securityd"}}));
    }
}

TEST_F(KeychainTest, MissingKeysTableFailsTheCountAndDeletesNothing) {
    const std::vector<std::string> groups{"com.example.app", "ABCDE12345.com.example.app", "other"};
    createDatabase(groups, /*withKeysTable=*/false);
    const QString bundleID = QStringLiteral("com.example.app");

    EXPECT_EQ(DeviceTools::keychainItemCount(bundleID, kUdid), std::nullopt);
    EXPECT_FALSE(DeviceTools::resetAppKeychain(bundleID, kUdid));
    for (const auto& [table, left] : remaining(/*withKeysTable=*/false))
        EXPECT_EQ(left, std::multiset<std::string>(groups.begin(), groups.end())) << table;
    // The app was already terminated; the security daemon is left alone.
    EXPECT_EQ(fake.argumentLists(),
              (std::vector<Args>{{"simctl", "terminate", "KEYCHAIN-UDID", "com.example.app"}}));
}

TEST_F(KeychainTest, MissingDatabaseCountsZeroAndLeavesTheAppRunning) {
    EXPECT_EQ(DeviceTools::keychainItemCount(QStringLiteral("com.example.app"), kUdid), 0);
    EXPECT_TRUE(DeviceTools::resetAppKeychain(QStringLiteral("com.example.app"), kUdid));
    EXPECT_TRUE(fake.calls().empty());
    EXPECT_FALSE(fs::exists(database));
}

TEST_F(KeychainTest, SystemIdentifiersRunNothing) {
    createDatabase({"ichat", "com.apple.token", "apple", "   "});
    for (const char* identifier : {"ichat", "com.apple.token", "apple", "   ", "com.apple.Preferences"}) {
        SCOPED_TRACE(identifier);
        EXPECT_EQ(DeviceTools::keychainItemCount(QString::fromUtf8(identifier), kUdid), 0);
        EXPECT_FALSE(DeviceTools::resetAppKeychain(QString::fromUtf8(identifier), kUdid));
    }
    EXPECT_TRUE(fake.calls().empty());
    EXPECT_EQ(remaining()["genp"].size(), 4u);
}

TEST_F(KeychainTest, UsersRcFileDoesNotChangeTheCount) {
    // The real shell reads the rc file of the account's passwd home, which is not the test's HOME.
    // This stand-in reads $HOME/.sqliterc the same way (an "-init" that a later one replaces), so
    // the test sees what a user with that file would see.
    const fs::path shell = homeDirectoryURL() / "sqlite3-reading-home-rc";
    std::ofstream(shell) << "#!/bin/sh\nexec " << kSqlite << " -init \"$HOME/.sqliterc\" \"$@\"\n";
    fs::permissions(shell, fs::perms::owner_all);
    ::setenv("QUORVEX_SQLITE3", shell.c_str(), 1);

    createDatabase({"com.example.app", "ABCDE12345.com.example.app", "other"});
    for (const char* rc : {".mode box\n", ".mode json\n", ".headers on\n.mode csv\n", "SELECT 99;\n"}) {
        SCOPED_TRACE(rc);
        std::ofstream(homeDirectoryURL() / ".sqliterc") << rc;
        EXPECT_EQ(DeviceTools::keychainItemCount(QStringLiteral("com.example.app"), kUdid), 8);
    }
    ::unsetenv("QUORVEX_SQLITE3");
    fs::remove(homeDirectoryURL() / ".sqliterc");
    fs::remove(shell);
}

TEST_F(KeychainTest, SqliteRunsWithExactArgumentListsAndNoRcFile) {
    // The fake tool plays sqlite3 under that name and logs what it was given.
    fs::create_symlink(QUORVEX_FAKE_XCRUN_PATH, fake.folder() / "sqlite3");
    ::setenv("QUORVEX_SQLITE3", (fake.folder() / "sqlite3").c_str(), 1);
    fake.rule({{"tool", "sqlite3"}, {"args", {"**"}}, {"stdout", "3\nnot a number\n\n 1\n4\n"}});
    std::ofstream(database) << "not read by the fake";
    const std::string condition =
        DeviceTools::keychainMatchCondition(QStringLiteral("com.example.app")).toStdString();

    // Lines that are not integers are skipped; " 1" is not an integer either.
    EXPECT_EQ(DeviceTools::keychainItemCount(QStringLiteral("com.example.app"), kUdid), 7);
    EXPECT_TRUE(DeviceTools::resetAppKeychain(QStringLiteral("com.example.app"), kUdid));
    ::unsetenv("QUORVEX_SQLITE3");

    const std::string count = "SELECT count(*) FROM genp WHERE " + condition +
                              " UNION ALL SELECT count(*) FROM inet WHERE " + condition +
                              " UNION ALL SELECT count(*) FROM cert WHERE " + condition +
                              " UNION ALL SELECT count(*) FROM keys WHERE " + condition;
    EXPECT_EQ(fake.argumentLists("sqlite3"),
              (std::vector<Args>{{"-init", "/dev/null", "-readonly", database.string(), count},
                                 {"-init", "/dev/null", "-bail", "-cmd", ".timeout 3000", database.string(),
                                  "BEGIN IMMEDIATE;", "DELETE FROM genp WHERE " + condition + ";",
                                  "DELETE FROM inet WHERE " + condition + ";",
                                  "DELETE FROM cert WHERE " + condition + ";",
                                  "DELETE FROM keys WHERE " + condition + ";", "COMMIT;"}}));
}

TEST_F(KeychainTest, UdidsThatCouldLeaveTheDevicesFolderAreRefused) {
    const QString bundleID = QStringLiteral("com.example.app");
    // A real database where a UDID of "../../elsewhere" would point: it must stay untouched.
    const QString escaping = QStringLiteral("../../elsewhere");
    database = DeviceTools::keychainDatabaseURL(escaping);
    fs::create_directories(database.parent_path());
    createDatabase({"com.example.app"});
    for (const QString& udid : {escaping, QStringLiteral(".."), QStringLiteral("."), QString(),
                                QStringLiteral("a/b"), QString::fromUtf8("A\0B", 3)}) {
        SCOPED_TRACE(udid.toStdString());
        EXPECT_EQ(DeviceTools::keychainItemCount(bundleID, udid), std::nullopt);
        EXPECT_FALSE(DeviceTools::resetAppKeychain(bundleID, udid));
    }
    EXPECT_TRUE(fake.calls().empty());
    EXPECT_EQ(remaining()["genp"].size(), 1u);
}
