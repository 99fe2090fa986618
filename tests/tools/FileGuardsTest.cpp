#include "tools/FileGuards.h"

#include "platform/data/PlistSettingsFormat.h"
#include "support/ScopedApplicationsFolders.h"
#include "tools/Environment.h"

#include <gtest/gtest.h>

#include <QVariantMap>

#include <cstdlib>
#include <fstream>
#include <optional>

using namespace quorvex;
namespace fs = std::filesystem;

namespace {

// A HOME with ~/Library, a folder outside HOME, links between them and two Applications folders.
class FileGuardsTest : public ::testing::Test {
protected:
    void SetUp() override {
        home = homeDirectoryURL();
        for (const auto& entry : fs::directory_iterator(home))
            fs::remove_all(entry.path());
        outside = home / "outside";
        fs::create_directories(home / "Library/Caches/x");
        fs::create_directories(outside / "deep");
        fs::create_directories(home / ".cocoapods/repos/trunk");
        fs::create_symlink("/etc", home / "Library/Foo");
        fs::create_symlink(outside, home / "Library/Link");
        fs::create_symlink(home / "Library", home / "LibraryAlias");
        fs::create_symlink(home / "nowhere", home / "Library/Dangling");

        systemApps = home / "SystemApplications";
        fs::create_directories(systemApps);
        folders.emplace(systemApps, home / "Applications");
        makeBundle(systemApps / "Xcode-beta.app", "com.apple.dt.Xcode");
        makeBundle(systemApps / "Betas/Xcode.app", "com.apple.dt.Xcode");
        makeBundle(systemApps / "Other.app", "com.example.other");
        fs::create_directories(systemApps / "Broken.app");
        makeBundle(home / "Applications/Xcode.app", "com.apple.dt.Xcode");
    }

    void TearDown() override { folders.reset(); }

    static void makeBundle(const fs::path& bundle, const char* identifier) {
        fs::create_directories(bundle / "Contents");
        std::ofstream(bundle / "Contents/Info.plist")
            << variantToPlistXml(QVariantMap{{"CFBundleIdentifier", QString::fromLatin1(identifier)}})
                   .toStdString();
    }

    fs::path home;
    fs::path outside;
    fs::path systemApps;
    std::optional<test::ScopedApplicationsFolders> folders;
};

} // namespace

TEST_F(FileGuardsTest, CleanupTargets) {
    struct Case {
        fs::path path;
        bool allowed;
    };
    const Case cases[] = {
        {home / "Library/Caches/x", true},
        {home / "Library/Caches/not-yet-there/y", true},
        {home / "Library", false},
        {home / "Library/", false},
        {home / "Library/Foo", true},           // the link itself, judged where it sits
        {home / "Library/Link/deep", false},    // a link above the item points outside
        {home / "LibraryAlias/Caches/x", true}, // a link above the item points inside
        {home / "Library/../outside/deep", false},
        {home / "Library/Dangling", true},
        {home / ".cocoapods/repos", true},
        {home / ".cocoapods/repos/trunk", true},
        {home / ".cocoapods", false},
        {home / ".cocoapods/repository", false},
        {systemApps / "Xcode-beta.app", true},
        {home / "Applications/Xcode.app", true},
        {systemApps / "Betas/Xcode.app", false},
        {systemApps / "Other.app", false},
        {systemApps / "Broken.app", false},
        {outside, false},
        {"/etc/passwd", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.string());
        EXPECT_EQ(isAllowedCleanupTarget(c.path), c.allowed);
    }
}

TEST_F(FileGuardsTest, ResolvedPathKeepsMissingComponents) {
    EXPECT_EQ(resolvedPath(home / "Library/Link/missing/file.txt"),
              fs::canonical(outside) / "missing/file.txt");
    EXPECT_EQ(resolvedPath(home / "Library/Caches/./x/../x"), fs::canonical(home / "Library/Caches/x"));
    EXPECT_EQ(resolvedPath("/no/such/path"), fs::path("/no/such/path"));
}

TEST_F(FileGuardsTest, ExistenceTestsDoNotFollowTheLastLink) {
    EXPECT_TRUE(itemExists(home / "Library/Dangling"));
    EXPECT_TRUE(isSymbolicLink(home / "Library/Dangling"));
    EXPECT_TRUE(isSymbolicLink(home / "Library/Foo"));
    EXPECT_FALSE(isSymbolicLink(home / "Library/Caches"));
    EXPECT_FALSE(itemExists(home / "Library/missing"));
    EXPECT_FALSE(isSymbolicLink(home / "Library/missing"));
}

TEST_F(FileGuardsTest, TheEnvironmentCannotWidenTheGuard) {
    folders.reset();
    // The variables older builds read: a user setting them must not make a bundle deletable.
    ::setenv("QUORVEX_SYSTEM_APPLICATIONS", systemApps.c_str(), 1);
    ::setenv("QUORVEX_USER_APPLICATIONS", systemApps.c_str(), 1);
    EXPECT_FALSE(isAllowedCleanupTarget(systemApps / "Xcode-beta.app"));
    ::unsetenv("QUORVEX_SYSTEM_APPLICATIONS");
    ::unsetenv("QUORVEX_USER_APPLICATIONS");
    // The user's own Applications folder still counts without any seam.
    EXPECT_TRUE(isAllowedCleanupTarget(home / "Applications/Xcode.app"));
}

// Many missing components (as a hostile or mistyped path can have) are resolved without using up
// the stack, and the guards answer as for any other path.
TEST_F(FileGuardsTest, PathsOfManyMissingComponentsAreResolved) {
    std::string tail;
    for (int i = 0; i < 3000; ++i)
        tail += "/m";
    const fs::path insideLibrary = (home / "Library/Caches").string() + tail;
    const fs::path outsideHome = outside.string() + tail;
    EXPECT_EQ(resolvedPath(insideLibrary).string(), fs::canonical(home / "Library/Caches").string() + tail);
    EXPECT_TRUE(isAllowedCleanupTarget(insideLibrary));
    EXPECT_FALSE(isAllowedCleanupTarget(outsideHome));
    EXPECT_FALSE(isAllowedCleanupTarget((home / "Library/Link").string() + tail));
}
