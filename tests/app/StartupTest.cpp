#include "app/StartupOptions.h"
#include "app/TrayWaiter.h"

#include "support/FakeClock.h"
#include "support/QtPrinters.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

// The program started as a user starts it, in a session of its own (XDG_RUNTIME_DIR), with the
// display variables a case gives.
struct ProgramRun {
    int status = -1;
    QString out;
    QString err;
};

QProcessEnvironment session(const QTemporaryDir& runtime, const QStringList& keep) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XCTestConfigurationFilePath"})
        environment.remove(name);
    for (const QString& pair : keep)
        environment.insert(pair.section('=', 0, 0), pair.section('=', 1));
    environment.insert("XDG_RUNTIME_DIR", runtime.path());
    return environment;
}

ProgramRun run(const QProcessEnvironment& environment, const QStringList& arguments) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QUORVEX_APP_PATH, arguments);
    ProgramRun result;
    if (!process.waitForFinished(30'000)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "still running";
        return result;
    }
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

TEST(StartupTest, TheProgramAnswersOrExplainsBeforeItNeedsADisplayOrATray) {
    struct Case {
        const char* name;
        QStringList environment;
        QStringList arguments;
        int status;
        QString out;
        QString err;
    };
    const std::vector<Case> cases = {
        {"no display",
         {},
         {},
         1,
         "",
         "Quorvex needs a graphical session (DISPLAY or WAYLAND_DISPLAY is not set)\n"},
        {"a Wayland platform asked for but no compositor",
         {"QT_QPA_PLATFORM=wayland"},
         {},
         1,
         "",
         "Quorvex needs a graphical session (DISPLAY or WAYLAND_DISPLAY is not set)\n"},
        {"version, without a display", {}, {"--version"}, 0, "Quorvex 0.1.0\n", ""},
        {"help, without a display", {}, {"--help"}, 0, "Usage: quorvex [options]", ""},
        {"no tray, asked to exit",
         {"QT_QPA_PLATFORM=offscreen"},
         {"--exit-without-tray"},
         1,
         "",
         "Quorvex needs a system tray, and none is running in this session.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir runtime;
        const ProgramRun result = run(session(runtime, c.environment), c.arguments);
        EXPECT_EQ(result.status, c.status);
        if (c.out.isEmpty())
            EXPECT_TRUE(result.out.isEmpty()) << result.out.toStdString();
        else
            EXPECT_TRUE(result.out.startsWith(c.out)) << result.out.toStdString();
        EXPECT_EQ(result.err, c.err);
    }
}

TEST(StartupTest, WithoutATrayTheProgramWaitsAndASecondLaunchOnlyOpensTheFirstOnesMenu) {
    QTemporaryDir runtime;
    const QProcessEnvironment environment = session(runtime, {"QT_QPA_PLATFORM=offscreen"});
    QProcess first;
    first.setProcessEnvironment(environment);
    first.setReadChannel(QProcess::StandardError);
    first.start(QUORVEX_APP_PATH, QStringList{});
    ASSERT_TRUE(first.waitForStarted());
    // The first one says why nothing shows, and keeps running.
    QByteArray said;
    while (!said.contains('\n') && first.waitForReadyRead(30'000))
        said += first.readAllStandardError();
    EXPECT_EQ(QString::fromUtf8(said),
              "Quorvex: no system tray is running yet; the status item appears as soon as one starts "
              "(--exit-without-tray exits instead).\n");
    EXPECT_EQ(first.state(), QProcess::Running);

    const ProgramRun second = run(environment, {});
    EXPECT_EQ(second.status, 0);
    EXPECT_EQ(second.out, "Quorvex is already running; its menu was opened.\n");
    EXPECT_EQ(first.state(), QProcess::Running);

    first.terminate();
    ASSERT_TRUE(first.waitForFinished(30'000));
    EXPECT_EQ(first.exitCode(), 0);
    // The socket the first one left is no obstacle to the next run.
    const ProgramRun third = run(environment, {"--exit-without-tray"});
    EXPECT_EQ(third.err, "Quorvex needs a system tray, and none is running in this session.\n");
}

TEST(StartupTest, TheDisplayCheckLeavesNamedPlatformsToQt) {
    const auto environment = [](const QStringList& pairs) {
        QProcessEnvironment result;
        for (const QString& pair : pairs)
            result.insert(pair.section('=', 0, 0), pair.section('=', 1));
        return result;
    };
    EXPECT_FALSE(StartupOptions::hasDisplay(environment({})));
    EXPECT_FALSE(StartupOptions::hasDisplay(environment({"DISPLAY="})));
    EXPECT_FALSE(StartupOptions::hasDisplay(environment({"QT_QPA_PLATFORM=xcb"})));
    EXPECT_TRUE(StartupOptions::hasDisplay(environment({"DISPLAY=:0"})));
    EXPECT_TRUE(StartupOptions::hasDisplay(environment({"WAYLAND_DISPLAY=wayland-0"})));
    EXPECT_TRUE(StartupOptions::hasDisplay(environment({"QT_QPA_PLATFORM=offscreen"})));
}

TEST(TrayWaiterTest, ChecksAgainEveryTwoSecondsAndStartsOnceTheTrayAppears) {
    test::FakeClock clock;
    bool available = false;
    int checks = 0;
    int started = 0;
    TrayWaiter waiter(
        clock,
        [&] {
            ++checks;
            return available;
        },
        [&] { ++started; });
    EXPECT_FALSE(waiter.start());
    EXPECT_TRUE(waiter.isWaiting());
    clock.advance(1.9);
    EXPECT_EQ(checks, 1);
    clock.advance(0.1);
    EXPECT_EQ(checks, 2);
    available = true;
    clock.advance(2.0);
    EXPECT_EQ(started, 1);
    EXPECT_FALSE(waiter.isWaiting());
    clock.advance(10.0);
    EXPECT_EQ(checks, 3);
    EXPECT_EQ(started, 1);
}

} // namespace
} // namespace quorvex
