#include "tools/ToolRunner.h"

#include "tools/ToolCancellation.h"

#include <gtest/gtest.h>

#include <QLoggingCategory>
#include <QScopeGuard>

#include <atomic>
#include <csignal>
#include <fstream>
#include <future>
#include <iterator>
#include <thread>

#include <sys/stat.h>

using namespace quorvex;
using namespace std::chrono_literals;

namespace {

std::optional<QByteArray> sh(const std::string& script,
                             std::chrono::milliseconds timeout = kDefaultToolTimeout,
                             qsizetype outputLimit = kDefaultToolOutputLimit) {
    return runTool("/bin/sh", std::vector<std::string>{"-c", script}, timeout, outputLimit);
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
    // The long tool waits on a FIFO this test writes only after the short calls are done.
    const std::string fifo = std::string(std::getenv("HOME")) + "/long-tool.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::atomic<bool> longToolDone{false};
    auto longCall = std::async(std::launch::async, [&] {
        auto result =
            runTool("/bin/sh", std::vector<std::string>{"-c", "read line < \"$0\"; printf done", fifo});
        longToolDone = true;
        return result;
    });
    {
        // Releases the long tool on every way out, so a failed assertion cannot hang the test.
        const auto release = qScopeGuard([&] { std::ofstream(fifo) << "go\n"; });
        // Spawn many short tools while the long one runs; with a leaked pipe descriptor one of
        // them would inherit the long tool's pipe and block until it exits.
        for (int i = 0; i < 20; ++i) {
            const auto result = runTool("/bin/echo", std::vector<std::string>{"quick"});
            ASSERT_TRUE(result);
            EXPECT_EQ(*result, QByteArray("quick\n"));
        }
        EXPECT_FALSE(longToolDone.load());
    }
    EXPECT_EQ(longCall.get(), QByteArray("done"));
}

TEST(ToolRunnerTest, DetailedResultTellsEachWayOfFailingApart) {
    using Outcome = ToolResult::Outcome;
    struct Case {
        std::string executable;
        std::vector<std::string> arguments;
        ToolLimits limits;
        Outcome outcome;
        int exitStatus = 0;
        int signal = 0;
    };
    const Case cases[] = {
        {"/bin/sh", {"-c", "printf ok"}, {}, Outcome::succeeded},
        {"/nonexistent/tool", {}, {}, Outcome::launchFailed},
        {"/bin/sh", {"-c", "exit 3"}, {}, Outcome::exitedWithStatus, 3},
        {"/bin/sh", {"-c", "kill -KILL $$"}, {}, Outcome::killedBySignal, 0, SIGKILL},
        {"/bin/sh", {"-c", "exec sleep 300"}, {50ms, kDefaultToolOutputLimit}, Outcome::timedOut},
        // Past the cap the tool is killed even though it would go on for ever.
        {"/bin/sh", {"-c", "exec cat /dev/zero"}, {kNoToolTimeout, 1024 * 1024}, Outcome::outputTooLarge},
        // Exactly at the cap is still fine.
        {"/bin/sh", {"-c", "head -c 4096 /dev/zero"}, {kDefaultToolTimeout, 4096}, Outcome::succeeded},
        {"/bin/sh", {"-c", "head -c 4097 /dev/zero"}, {kDefaultToolTimeout, 4096}, Outcome::outputTooLarge},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.empty() ? c.executable : c.arguments.back());
        const ToolResult result = runToolResult(c.executable, c.arguments, c.limits);
        EXPECT_EQ(result.outcome, c.outcome) << result.describe().toStdString();
        EXPECT_EQ(result.exitStatus, c.exitStatus);
        EXPECT_EQ(result.signal, c.signal);
        if (!result.succeeded()) {
            EXPECT_TRUE(result.output.isEmpty());
        }
    }
}

TEST(ToolRunnerTest, OneLineFormHonoursThePerCallOutputCap) {
    EXPECT_FALSE(sh("head -c 2048 /dev/zero", kDefaultToolTimeout, 1024).has_value());
    EXPECT_EQ(sh("head -c 1024 /dev/zero", kDefaultToolTimeout, 1024)->size(), 1024);
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

TEST(ToolRunnerTest, CancellingKillsTheRunningToolWithItsGroupAndRefusesLaterRuns) {
    const std::string marker = std::string(std::getenv("HOME")) + "/cancelled-grandchild.pid";
    std::remove(marker.c_str());
    ToolCancellation cancellation;
    auto run = std::async(std::launch::async, [&] {
        // Watched through the thread's scope, as the device copies and the status-bar runs do.
        ToolCancellation::Scope scope(&cancellation);
        return runToolResult("/bin/sh", {"-c", "sleep 300 & echo $! > '" + marker + "'; sleep 300"},
                             {kNoToolTimeout});
    });
    pid_t grandchild = 0;
    for (int i = 0; i < 500 && grandchild == 0; ++i) {
        std::this_thread::sleep_for(10ms);
        std::ifstream(marker) >> grandchild;
    }
    ASSERT_GT(grandchild, 0);
    const auto asked = std::chrono::steady_clock::now();
    cancellation.cancel();
    ASSERT_EQ(run.wait_for(5s), std::future_status::ready) << "the run did not end on cancel";
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 1s);
    EXPECT_EQ(run.get().outcome, ToolResult::Outcome::cancelled);
    for (int i = 0; i < 100 && isAlive(grandchild); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(isAlive(grandchild));

    // A cancelled cancellation refuses to start anything until it is reset.
    const std::string started = std::string(std::getenv("HOME")) + "/started";
    ToolLimits limits;
    limits.cancellation = &cancellation;
    EXPECT_EQ(runToolResult("/bin/sh", {"-c", "touch '" + started + "'"}, limits).outcome,
              ToolResult::Outcome::cancelled);
    EXPECT_FALSE(std::ifstream(started).good());
    cancellation.reset();
    EXPECT_TRUE(runToolResult("/bin/sh", {"-c", "touch '" + started + "'"}, limits).succeeded());
}

namespace {
QStringList* capturedLog = nullptr;
void captureMessage(QtMsgType, const QMessageLogContext& context, const QString& message) {
    if (capturedLog && QByteArray(context.category) == "quorvex.tools")
        capturedLog->append(message);
}
} // namespace

TEST(ToolRunnerTest, EachRunIsLoggedAtDebugLevelWithItsArgumentsOutcomeAndBound) {
    QStringList log;
    capturedLog = &log;
    QLoggingCategory::setFilterRules(QStringLiteral("quorvex.tools.debug=true"));
    const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
    const auto restore = qScopeGuard([&] {
        qInstallMessageHandler(previous);
        QLoggingCategory::setFilterRules(QString());
        capturedLog = nullptr;
    });

    sh("exit 4", 5000ms);
    runToolResult("/bin/sh", {"-c", "exit 0"}, {kNoToolTimeout, kDefaultToolOutputLimit});
    ASSERT_EQ(log.size(), 2);
    EXPECT_TRUE(log[0].startsWith(QStringLiteral("/bin/sh -c exit 4 -> exit status 4 in ")))
        << log[0].toStdString();
    EXPECT_TRUE(log[0].endsWith(QStringLiteral("(timeout 5000 ms)"))) << log[0].toStdString();
    EXPECT_TRUE(log[1].contains(QStringLiteral("-> succeeded"))) << log[1].toStdString();
    EXPECT_TRUE(log[1].endsWith(QStringLiteral("(timeout none)"))) << log[1].toStdString();
}
