#include "storage/engine/AppCleaning.h"

#include "storage/files/FileError.h"
#include "support/FakeXcrun.h"
#include "tools/Environment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

using namespace quorvex;
namespace fs = std::filesystem;

namespace {

void writeText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

class AppCleaningTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& entry : fs::directory_iterator(homeDirectoryURL()))
            fs::remove_all(entry.path());
        library = homeDirectoryURL() / "Library";
    }
    fs::path library;
};

} // namespace

// A link among the roots, or among their entries, to another place in ~/Library is measured and
// removed as the link: the place it points to keeps every file.
TEST_F(AppCleaningTest, LinksAreNeverExpandedSoTheirTargetsSurvive) {
    const fs::path elsewhere = library / "Application Support/Precious";
    writeText(elsewhere / "keep.db", "keep");
    const fs::path root = library / "Developer/Xcode/DerivedData/App-abc";
    writeText(root / "Build/Products/app.bin", std::string(5000, 'b'));
    writeText(root / "Index/data", "i");
    fs::create_symlink(elsewhere, root / "Linked");
    fs::create_directories(root / "Build/Intermediates");
    fs::create_symlink(elsewhere, root / "Build/Intermediates/Deeper");
    fs::create_symlink(elsewhere, library / "Developer/Xcode/DerivedData/RootLink");

    const std::vector<fs::path> roots =
        AppCleaning::insideLibrary({root, library / "Developer/Xcode/DerivedData/RootLink",
                                    library / "missing", homeDirectoryURL() / "outside"});
    ASSERT_EQ(roots.size(), 2u);
    const auto entries = AppCleaning::measureEntries(roots);
    for (const auto& entry : entries)
        EXPECT_EQ(entry.path.string().find("Precious"), std::string::npos) << entry.path;
    std::int64_t total = 0;
    for (const auto& entry : entries)
        total += entry.size;
    std::vector<std::pair<std::int64_t, std::int64_t>> posts;
    AppCleaning::deleteEntries(entries, roots, total,
                               [&](std::int64_t done, std::int64_t all) { posts.emplace_back(done, all); });

    EXPECT_FALSE(fs::exists(fs::symlink_status(root)));
    EXPECT_FALSE(fs::exists(fs::symlink_status(roots[1])));
    ASSERT_TRUE(fs::exists(elsewhere / "keep.db"));
    EXPECT_EQ(fs::file_size(elsewhere / "keep.db"), 4u);
    ASSERT_FALSE(posts.empty());
    EXPECT_EQ(posts.back(), (std::pair<std::int64_t, std::int64_t>(total, total)));
}

TEST_F(AppCleaningTest, CandidatesPerTarget) {
    const fs::path derivedData = library / "Developer/Xcode/DerivedData";
    writeText(
        derivedData / "Notes-abc/Build/Products/Debug/Notes.app/Info.plist",
        R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict><key>CFBundleIdentifier</key><string>com.example.notes</string></dict></plist>)");
    fs::create_directories(derivedData / "Notes-abc/SourcePackages");
    fs::create_directories(derivedData / "Notes-abc/Index");
    const auto now = [] { return QDateTime::currentDateTimeUtc(); };
    const AppCleaning::App notes{"com.example.notes", "Notes.app"};
    using Target = AppCleaning::Target;

    auto sorted = [](std::vector<fs::path> paths) {
        std::sort(paths.begin(), paths.end());
        return paths;
    };
    EXPECT_EQ(sorted(AppCleaning::candidates(Target::derivedData, notes, now)),
              (std::vector<fs::path>{derivedData / "Notes-abc/Build", derivedData / "Notes-abc/Index"}));
    EXPECT_EQ(AppCleaning::candidates(Target::packages, notes, now),
              std::vector<fs::path>{derivedData / "Notes-abc/SourcePackages"});
    EXPECT_EQ(AppCleaning::candidates(Target::everything, notes, now),
              std::vector<fs::path>{derivedData / "Notes-abc"});
    EXPECT_EQ(AppCleaning::candidates(Target::derivedData, std::nullopt, now),
              std::vector<fs::path>{derivedData});
    EXPECT_EQ(AppCleaning::candidates(Target::everything, std::nullopt, now).size(), 3u);
    // Documentation and logs belong to no project: for an app there is nothing of them to clean.
    fs::create_directories(library / "Developer/Xcode/DocumentationCache/v1");
    writeText(library / "Logs/Xcode/old.log", "old");
    fs::last_write_time(library / "Logs/Xcode/old.log",
                        fs::file_time_type::clock::now() - std::chrono::hours(24 * 100));
    EXPECT_EQ(AppCleaning::candidates(Target::documentation, std::nullopt, now).size(), 2u);
    EXPECT_EQ(AppCleaning::candidates(Target::oldLogs, std::nullopt, now),
              std::vector<fs::path>{library / "Logs/Xcode/old.log"});
    test::FakeXcrun xcrun;
    EXPECT_TRUE(AppCleaning::candidates(Target::documentation, notes, now).empty());
    EXPECT_TRUE(AppCleaning::candidates(Target::oldLogs, notes, now).empty());
}

TEST_F(AppCleaningTest, AnEntryOutsideTheLibraryStopsTheRun) {
    writeText(homeDirectoryURL() / "outside/file", "x");
    const std::vector<AppCleaning::Entry> entries = {{homeDirectoryURL() / "outside/file", 1}};
    EXPECT_THROW(AppCleaning::deleteEntries(entries, {}, 1, [](std::int64_t, std::int64_t) {}), FileError);
    EXPECT_TRUE(fs::exists(homeDirectoryURL() / "outside/file"));
}

// Progress is posted after every step that adds bytes while the total is at most 399 bytes, and
// otherwise only once at least a two-hundredth of the total has been done since the last post;
// the end is always posted. Items already gone count as done.
TEST_F(AppCleaningTest, ProgressIsPostedInStepsOfATwoHundredthOfTheTotal) {
    using Posts = std::vector<std::int64_t>;
    struct Case {
        const char* what;
        std::vector<std::int64_t> sizes;
        Posts posts; // the bytes done at each post
    };
    const Case cases[] = {
        {"300 bytes: every step with bytes", {100, 0, 100, 100}, {100, 200, 300, 300}},
        {"399 bytes: still every step", {1, 398}, {1, 399, 399}},
        {"400 bytes: steps of 2", {1, 1, 398}, {2, 400, 400}},
        {"a million bytes: steps of 5,000", {4999, 1, 4999, 990'001}, {5000, 1'000'000, 1'000'000}},
        {"nothing at all", {}, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<AppCleaning::Entry> entries;
        std::int64_t total = 0;
        for (std::size_t i = 0; i < c.sizes.size(); ++i) {
            entries.push_back({library / "Caches/gone" / std::to_string(i), c.sizes[i]});
            total += c.sizes[i];
        }
        Posts posts;
        AppCleaning::deleteEntries(entries, {}, total, [&](std::int64_t done, std::int64_t all) {
            EXPECT_EQ(all, total);
            posts.push_back(done);
        });
        EXPECT_EQ(posts, c.posts);
    }
}
