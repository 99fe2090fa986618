#include "tools/ToolRunner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <fstream>
#include <future>
#include <iterator>
#include <thread>

using namespace quorvex;
using namespace std::chrono_literals;

namespace {

std::optional<QByteArray> sh(const std::string& script,
                             std::chrono::milliseconds timeout = kDefaultToolTimeout) {
    return runTool("/bin/sh", std::vector<std::string>{"-c", script}, timeout);
}

// A killed process may linger as a zombie until its new parent reaps it; that counts as gone.
bool isAlive(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z';
}

} // namespace

TEST(ToolRunnerTest, ResultFollowsExitStatus) {
    struct Case {
        const char* script;
        std::optional<QByteArray> expected;
    };
    const Case cases[] = {
        {"printf 'hello'", QByteArray("hello")},
        {"exit 0", QByteArray()},                   // success with no output is empty, not absent
        {"printf 'partial'; exit 1", std::nullopt}, // output of a failure is discarded
        {"kill -TERM $$", std::nullopt},            // death by signal
        {"echo oops >&2; printf out", QByteArray("out")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        const auto result = sh(c.script);
        ASSERT_EQ(result.has_value(), c.expected.has_value());
        if (result) {
            EXPECT_EQ(*result, *c.expected);
        }
    }
}

TEST(ToolRunnerTest, MissingExecutableGivesAbsent) {
    EXPECT_FALSE(runTool("/nonexistent/tool", std::vector<std::string>{}).has_value());
    EXPECT_FALSE(runTool("/etc/hostname", std::vector<std::string>{}).has_value()); // not executable
}

TEST(ToolRunnerTest, ArgumentsAreNeverInterpretedByAShell) {
    const auto result =
        runTool("/bin/echo", QStringList{QStringLiteral("$HOME; rm -rf /"), QStringLiteral("a b")});
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, QByteArray("$HOME; rm -rf / a b\n"));
}

TEST(ToolRunnerTest, SeveralMegabytesComeBackWhole) {
    const auto result = sh("head -c 8388608 /dev/zero | tr '\\0' 'x'");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->size(), 8388608);
    EXPECT_EQ(result->count('x'), 8388608);
}

TEST(ToolRunnerTest, ShortCallIsNotHeldUpByAnotherThreadsLongTool) {
    std::atomic<bool> longToolDone{false};
    auto longCall = std::async(std::launch::async, [&] {
        auto result = sh("sleep 3; printf done");
        longToolDone = true;
        return result;
    });
    // Spawn many short tools while the long one runs; with a leaked pipe descriptor one of them
    // would inherit the long tool's pipe and block until it exits.
    for (int i = 0; i < 20; ++i) {
        const auto result = runTool("/bin/echo", std::vector<std::string>{"quick"});
        ASSERT_TRUE(result);
        EXPECT_EQ(*result, QByteArray("quick\n"));
    }
    EXPECT_FALSE(longToolDone.load());
    EXPECT_EQ(longCall.get(), QByteArray("done"));
}

TEST(ToolRunnerTest, ToolThatNeverExitsIsKilledWithItsChildrenAtTheTimeout) {
    const std::string marker = std::string(std::getenv("HOME")) + "/grandchild.pid";
    // The child backgrounds a sleeper that keeps standard output open, then hangs itself.
    const auto result = sh("sleep 300 & echo $! > '" + marker + "'; sleep 300", 300ms);
    EXPECT_FALSE(result.has_value());
    std::ifstream in(marker);
    pid_t grandchild = 0;
    in >> grandchild;
    ASSERT_GT(grandchild, 0);
    // The whole process group was killed, the backgrounded sleeper included.
    for (int i = 0; i < 100 && isAlive(grandchild); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(isAlive(grandchild));
}
