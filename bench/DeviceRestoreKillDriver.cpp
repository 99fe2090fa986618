// Kills device snapshot saves and restores at random moments and checks that no kill leaves the
// app's previous data out of reach: after each kill, and the recovery the next start runs, that
// data is either still on the device whole or in a listed snapshot, no half-made snapshot is
// listed, and no staging or backup folder is left behind.
//
//   quorvex-device-restore-kill <fake-xcrun> [kills = 200] [files = 2000]
//
// The device is the fake xcrun over a folder that stands for the app's data container; its
// copies write file by file, so a kill lands halfway through them. Every kill ends the process
// and the devicectl copy it runs together (the driver is their subreaper and kills both), as a
// power loss would; a copy left running on its own would only finish what it started. Kills
// alternate between saves and restores; a run that ends before its kill does not count.
#include "devices/core/DeviceSnapshotStore.h"

#include <QCoreApplication>

#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace quorvex;
namespace fs = std::filesystem;

namespace {

const PhysicalDevice kDevice{"D1", "Test iPhone", {}, {}, {}};
const DeviceApp kApp{"com.example.notes", "Notes", std::nullopt, std::nullopt};

fs::path home() {
    return fs::path(std::getenv("HOME"));
}
fs::path container() {
    return home() / "device/container";
}

// The contents of a folder: relative path to file text.
using Fingerprint = std::map<std::string, std::string>;

Fingerprint fingerprint(const fs::path& folder) {
    Fingerprint files;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (!it->is_regular_file())
            continue;
        std::ifstream in(it->path(), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        files[fs::relative(it->path(), folder).string()] = text.str();
    }
    return files;
}

void writeText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// The app's data as the device holds it: `files` documents, preferences and an empty tmp.
void fillContainer(const std::string& tag, int files) {
    fs::remove_all(container());
    for (int i = 0; i < files; ++i)
        writeText(container() / "Documents" / std::to_string(i / 100) / (std::to_string(i) + ".txt"),
                  tag + " " + std::to_string(i));
    writeText(container() / "Library/Preferences/com.example.notes.plist", tag + " preferences");
    fs::create_directories(container() / "tmp");
}

void writeRules() {
    const fs::path fake = home() / "fake";
    nlohmann::json rules = nlohmann::json::array();
    rules.push_back(
        {{"args",
          {"devicectl", "device", "copy", "from", "--device", "*", "--domain-type", "appDataContainer",
           "--domain-identifier", "*", "--source", "/", "--destination", "*", "-q"}},
         {"effects", {{{"copy", {container().string(), 13}}}}}});
    for (const char* entry : {"Documents", "Library", "tmp"})
        rules.push_back({{"args",
                          {"devicectl", "device", "copy", "to", "--device", "*", "--domain-type",
                           "appDataContainer", "--domain-identifier", "*", "--source", "*", "--destination",
                           entry, "--remove-existing-content", "true", "-q"}},
                         {"effects",
                          {{{"remove", (container() / entry).string()}},
                           {{"copy", {11, (container() / entry).string()}}}}}});
    std::ofstream(fake / "rules.json") << rules.dump();
}

int runChild(const char* mode) {
    if (std::strcmp(mode, "--save") == 0) {
        try {
            DeviceSnapshotStore::save(kApp.id, kDevice, "killed save");
        } catch (const std::exception& error) {
            std::fprintf(stderr, "save failed: %s\n", error.what());
            return 1;
        }
        return 0;
    }
    if (std::strcmp(mode, "--restore") == 0) {
        for (const DeviceSnapshot& snapshot : DeviceSnapshot::list(kApp.id))
            if (snapshot.name == "original")
                return DeviceSnapshotStore::restore(snapshot, kApp, kDevice).outcome ==
                               DeviceSnapshotStore::RestoreOutcome::restored
                           ? 0
                           : 1;
        return 3;
    }
    if (std::strcmp(mode, "--recover") == 0) {
        DeviceSnapshotStore::recoverInterrupted();
        return 0;
    }
    return 2;
}

pid_t start(const char* self, const char* mode) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl(self, self, mode, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return child;
}

int runToEnd(const char* self, const char* mode) {
    int status = 0;
    ::waitpid(start(self, mode), &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Kills and reaps every process left under the driver: the copies whose program was killed.
void killOrphans() {
    for (;;) {
        std::vector<pid_t> orphans;
        for (const auto& entry : fs::directory_iterator("/proc")) {
            const std::string name = entry.path().filename().string();
            if (name.find_first_not_of("0123456789") != std::string::npos)
                continue;
            std::ifstream stat(entry.path() / "stat");
            std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
            const auto close = text.rfind(')');
            if (close == std::string::npos)
                continue;
            std::istringstream rest(text.substr(close + 2));
            char state = 0;
            pid_t parent = 0;
            rest >> state >> parent;
            if (parent == ::getpid())
                orphans.push_back(std::stoi(name));
        }
        if (orphans.empty())
            return;
        for (const pid_t pid : orphans) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
}

struct Counts {
    int kills = 0;
    int endedFirst = 0;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc == 2 && std::strncmp(argv[1], "--", 2) == 0)
        return runChild(argv[1]);
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: %s <fake-xcrun> [kills] [files]\n", argv[0]);
        return 2;
    }
    const int wanted = argc > 2 ? std::atoi(argv[2]) : 200;
    const int files = argc > 3 ? std::atoi(argv[3]) : 2000;
    char folder[] = "/tmp/quorvex-device-kill-XXXXXX";
    if (!::mkdtemp(folder))
        return 2;
    ::setenv("HOME", folder, 1);
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    const fs::path fake = home() / "fake";
    fs::create_directories(fake);
    fs::create_symlink(fs::absolute(argv[1]), fake / "xcrun");
    ::setenv("QUORVEX_XCRUN", (fake / "xcrun").c_str(), 1);
    ::setenv("QUORVEX_FAKE_RULES", (fake / "rules.json").c_str(), 1);
    writeRules();

    // The snapshot every restore puts on, and the data the app holds before each run.
    fillContainer("snapshot", files);
    if (runToEnd(argv[0], "--save") != 0)
        return 1;
    // Renamed, so the restores find it among the snapshots the kills leave.
    DeviceSnapshot first = DeviceSnapshot::list(kApp.id).front();
    const fs::path original = first.folder;
    first.name = "original";
    writeText(original / "info.json", first.encode().toStdString());
    const Fingerprint snapshotData = fingerprint(original / "data");
    fillContainer("previous", files);
    const Fingerprint previous = fingerprint(container());

    const auto reset = [&] {
        for (const DeviceSnapshot& snapshot : DeviceSnapshot::list(kApp.id))
            if (snapshot.folder != original)
                fs::remove_all(snapshot.folder);
        fillContainer("previous", files);
    };

    // The longest of three whole runs of each, and a fifth more, sets the range its kills are
    // spread over: on a busy machine a single run may be quick, and the pushes at the end of a
    // restore would then never be hit.
    std::map<std::string, std::chrono::microseconds> whole;
    for (const char* mode : {"--save", "--restore"})
        for (int run = 0; run < 3; ++run) {
            const auto begin = std::chrono::steady_clock::now();
            if (runToEnd(argv[0], mode) != 0)
                return 1;
            if (std::strcmp(mode, "--restore") == 0 && fingerprint(container()) != snapshotData) {
                std::fprintf(stderr, "a whole restore did not put the snapshot on the device\n");
                return 1;
            }
            const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
                std::chrono::steady_clock::now() - begin);
            whole[mode] = std::max(whole[mode], took * 6 / 5);
            reset();
        }

    std::mt19937_64 random(std::random_device{}());
    std::map<std::string, Counts> counts;
    int keptAsSnapshot = 0;
    int halfRestored = 0;
    int unreachable = 0;
    int torn = 0;
    int leftovers = 0;
    for (int round = 0; counts["--save"].kills + counts["--restore"].kills < wanted; ++round) {
        const char* mode = round % 2 == 0 ? "--save" : "--restore";
        std::uniform_int_distribution<long long> moment(0, whole[mode].count());
        const pid_t child = start(argv[0], mode);
        std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
        int status = 0;
        bool killed = ::waitpid(child, &status, WNOHANG) == 0 && ::kill(child, SIGKILL) == 0;
        ::waitpid(child, &status, 0);
        killOrphans();
        killed = killed && WIFSIGNALED(status);
        if (killed)
            ++counts[mode].kills;
        else
            ++counts[mode].endedFirst;

        // The next start.
        const size_t before = DeviceSnapshot::list(kApp.id).size();
        if (runToEnd(argv[0], "--recover") != 0)
            return 1;
        const auto listed = DeviceSnapshot::list(kApp.id);
        const Fingerprint onDevice = fingerprint(container());
        bool reachable = onDevice == previous;
        for (const DeviceSnapshot& snapshot : listed) {
            const Fingerprint data = fingerprint(snapshot.folder / "data");
            reachable |= data == previous;
            if (data != previous && data != snapshotData)
                ++torn;
        }
        // A restore whose pushes all went through replaced the data, as the user asked, even
        // when it was killed while it cleared up after.
        const bool restored = std::strcmp(mode, "--restore") == 0 && onDevice == snapshotData;
        if (!reachable && !restored)
            ++unreachable;
        if (onDevice != previous && onDevice != snapshotData)
            ++halfRestored;
        if (std::strcmp(mode, "--restore") == 0 && listed.size() > before)
            ++keptAsSnapshot;
        for (const auto& entry : fs::directory_iterator(DeviceSnapshot::rootFolder()))
            if (entry.path().filename().string().starts_with("."))
                ++leftovers;
        for (const auto& entry : fs::directory_iterator(DeviceSnapshot::rootFolder() / kApp.id.toStdString()))
            if (!fs::exists(entry.path() / "info.json"))
                ++leftovers;
        reset();
    }
    std::printf("device data of %d files; kills spread over %.2f s of a save, %.2f s of a restore\n", files,
                std::chrono::duration<double>(whole["--save"]).count(),
                std::chrono::duration<double>(whole["--restore"]).count());
    std::printf("saves: %d kills (%d ended first); restores: %d kills (%d ended first)\n",
                counts["--save"].kills, counts["--save"].endedFirst, counts["--restore"].kills,
                counts["--restore"].endedFirst);
    std::printf("after recovery: %d restores left the device half restored, %d kept the previous data as "
                "a snapshot; %d states with the previous data out of reach, %d half-made snapshots "
                "listed, %d leftovers\n",
                halfRestored, keptAsSnapshot, unreachable, torn, leftovers);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return unreachable == 0 && torn == 0 && leftovers == 0 ? 0 : 1;
}
