// The daemon's state folder: made privately, never through a link, never someone else's, and held
// by one daemon at a time.
#include "extension/StateFolder.h"

#include "ControlDaemon.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

namespace quorvex {
namespace {

namespace fs = std::filesystem;
using test::ScratchFolder;

fs::perms permissions(const fs::path& path) {
    return fs::symlink_status(path).permissions() & fs::perms::mask;
}

TEST(StateFolderTest, IsMadePrivateAndReplacesFilesWhole) {
    ScratchFolder scratch;
    const auto path = scratch.path() / "var/lib/state";
    StateFolder folder(path);
    EXPECT_EQ(permissions(path), fs::perms(0700));
    EXPECT_FALSE(folder.read("absent.json"));
    ASSERT_TRUE(folder.write("activation.json", "{}\n"));
    EXPECT_EQ(folder.read("activation.json"), "{}\n");
    EXPECT_FALSE(fs::exists(path / "activation.json.new"));

    // A link in the folder is neither read through nor written through: it is replaced.
    std::ofstream(scratch.path() / "elsewhere") << "precious";
    fs::create_symlink(scratch.path() / "elsewhere", path / "configurations.json");
    EXPECT_FALSE(folder.read("configurations.json"));
    ASSERT_TRUE(folder.write("configurations.json", "[]\n"));
    EXPECT_FALSE(fs::is_symlink(path / "configurations.json"));
    std::ifstream kept(scratch.path() / "elsewhere");
    std::string text;
    kept >> text;
    EXPECT_EQ(text, "precious");
}

TEST(StateFolderTest, ALinkAFileOrAnotherUsersFolderIsRefusedAndLeftAlone) {
    struct Case {
        const char* name;
        void (*make)(const fs::path& path, const fs::path& target);
        bool needsRoot;
    };
    const Case cases[] = {
        {"a link to a folder",
         [](const fs::path& path, const fs::path& target) { fs::create_directory_symlink(target, path); },
         false},
        {"a file", [](const fs::path& path, const fs::path&) { std::ofstream(path) << "x"; }, false},
        {"another user's folder",
         [](const fs::path& path, const fs::path&) {
             fs::create_directory(path);
             fs::permissions(path, fs::perms(0755));
             EXPECT_EQ(::chown(path.c_str(), 65534, 65534), 0);
         },
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsRoot && ::geteuid() != 0)
            continue;
        ScratchFolder scratch;
        const auto target = scratch.path() / "target";
        fs::create_directory(target);
        fs::permissions(target, fs::perms(0755));
        const auto path = scratch.path() / "state";
        c.make(path, target);
        const auto before = permissions(path);
        EXPECT_THROW(StateFolder folder(path), std::system_error);
        EXPECT_EQ(permissions(path), before);
        EXPECT_EQ(permissions(target), fs::perms(0755)) << "nothing was changed through a link";
        EXPECT_FALSE(fs::exists(target / StateFolder::lockName));
    }
}

TEST(StateFolderTest, OneDaemonHoldsTheFolderAtATime) {
    ScratchFolder scratch;
    {
        StateFolder first(scratch.path() / "state");
        try {
            StateFolder second(scratch.path() / "state");
            ADD_FAILURE() << "a second holder was let in";
        } catch (const std::system_error& error) {
            EXPECT_NE(std::string(error.what()).find("another network extension daemon"), std::string::npos)
                << error.what();
        }
    }
    EXPECT_NO_THROW(StateFolder again(scratch.path() / "state")) << "released with its holder";
}

} // namespace
} // namespace quorvex
