// Kills snapshot restores at random moments and checks that no kill leaves the app without its
// preferences: after each kill either the preferences domain exists or a restore backup beside
// the container holds the exported preferences (the next restore puts it away for the user).
//
//   quorvex-restore-kill <fake-xcrun> [kills = 200] [files = 5000]
//
// Runs in a temporary HOME with the fake xcrun keeping the domain in one file. A restore that
// ends before its kill does not count as a kill; after each kill a full restore runs, as the next
// start of the program would, and its recovered data is cleared.
#include "actions/SnapshotStore.h"

#include <QCoreApplication>

#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace quorvex;
namespace fs = std::filesystem;

namespace {

constexpr const char* kUdid = "5C1A7E2B-0000-4000-8000-000000000001";
constexpr const char* kBundle = "com.example.notes";

fs::path home() {
    return fs::path(std::getenv("HOME"));
}
fs::path container() {
    return home() / "Library/Developer/CoreSimulator/Devices" / kUdid /
           "data/Containers/Data/Application/0C0FFEE0-0000-4000-8000-000000000002";
}
fs::path domain() {
    return home() / "fake/domain.plist";
}

SimulatorApp theApp() {
    SimulatorInstall install;
    install.udid = kUdid;
    install.deviceName = "iPhone 16";
    install.dataContainer = container();
    SimulatorApp app;
    app.id = kBundle;
    app.name = "Notes";
    app.devices = {kUdid};
    app.installs = {install};
    return app;
}

int restoreOnce() {
    const SimulatorApp app = theApp();
    const auto snapshots = SnapshotStore::list(kBundle);
    if (snapshots.empty())
        return 3;
    try {
        SnapshotStore::restore(snapshots.front(), app, app.installs.front());
    } catch (const SnapshotStore::SnapshotError& error) {
        std::fprintf(stderr, "restore failed: %s\n", error.what());
        return 1;
    }
    return 0;
}

void writeText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

void setUp(const char* fakeXcrun, int files) {
    const fs::path fake = home() / "fake";
    fs::create_directories(fake);
    fs::create_symlink(fakeXcrun, fake / "xcrun");
    ::setenv("QUORVEX_XCRUN", (fake / "xcrun").c_str(), 1);
    ::setenv("QUORVEX_FAKE_RULES", (fake / "rules.json").c_str(), 1);
    const nlohmann::json rules = {{{"args", {"simctl", "terminate", "*", "*"}}},
                                  {{"args", {"simctl", "spawn", "*", "defaults", "export", "*", "*"}},
                                   {"effects", {{{"copy", {domain().string(), 6}}}}}},
                                  {{"args", {"simctl", "spawn", "*", "defaults", "delete", "*"}},
                                   {"effects", {{{"remove", domain().string()}}}}},
                                  {{"args", {"simctl", "spawn", "*", "defaults", "import", "*", "*"}},
                                   {"effects", {{{"copy", {6, domain().string()}}}}}}};
    std::ofstream(fake / "rules.json") << rules.dump();
    for (int i = 0; i < files; ++i)
        writeText(container() / "Documents" / std::to_string(i / 100) / (std::to_string(i) + ".txt"), "data");
    writeText(container() / "Library/Preferences/com.example.notes.plist", "prefs");
    fs::create_directories(container() / "tmp");
    writeText(domain(), "snapshot domain");
    const SimulatorApp app = theApp();
    SnapshotStore::save(app, app.installs.front(), "kill test");
    writeText(domain(), "app domain");
}

pid_t startRestore(const char* self) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl(self, self, "--restore", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return child;
}

bool preferencesKept() {
    if (fs::exists(domain()))
        return true;
    for (const auto& entry : fs::directory_iterator(container().parent_path()))
        if (entry.path().filename().string().rfind(".quorvex-backup-", 0) == 0 &&
            fs::exists(entry.path() / "preferences.plist"))
            return true;
    return false;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc == 2 && std::strcmp(argv[1], "--restore") == 0)
        return restoreOnce();
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: %s <fake-xcrun> [kills] [files]\n", argv[0]);
        return 2;
    }
    const int wanted = argc > 2 ? std::atoi(argv[2]) : 200;
    const int files = argc > 3 ? std::atoi(argv[3]) : 5000;
    char folder[] = "/tmp/quorvex-kill-XXXXXX";
    if (!::mkdtemp(folder))
        return 2;
    ::setenv("HOME", folder, 1);
    setUp(fs::absolute(argv[1]).c_str(), files);

    // The length of one whole restore sets the range the kills are spread over.
    const auto start = std::chrono::steady_clock::now();
    int status = 0;
    ::waitpid(startRestore(argv[0]), &status, 0);
    const auto whole = std::chrono::steady_clock::now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return 1;

    std::mt19937_64 random(std::random_device{}());
    std::uniform_int_distribution<long long> moment(
        0, std::chrono::duration_cast<std::chrono::microseconds>(whole).count());
    int kills = 0;
    int finished = 0;
    int withoutPreferences = 0;
    while (kills < wanted) {
        const pid_t child = startRestore(argv[0]);
        std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
        const bool killed = ::waitpid(child, &status, WNOHANG) == 0 && ::kill(child, SIGKILL) == 0;
        ::waitpid(child, &status, 0);
        if (!killed || !WIFSIGNALED(status)) {
            ++finished;
            continue;
        }
        ++kills;
        if (!preferencesKept())
            ++withoutPreferences;
        // The next start: a whole restore, which puts away any backup; then a clean slate.
        ::waitpid(startRestore(argv[0]), &status, 0);
        std::error_code ignored;
        fs::remove_all(SnapshotStore::recoveryFolder(), ignored);
        writeText(domain(), "app domain");
    }
    std::printf("restore of %d files, %.2f s whole; %d kills (%d restores ended first): "
                "%d states without preferences\n",
                files, std::chrono::duration<double>(whole).count(), kills, finished, withoutPreferences);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return withoutPreferences == 0 ? 0 : 1;
}
