#pragma once

#include "actions/SnapshotStore.h"
#include "support/FakeXcrun.h"
#include "support/FixtureHome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace quorvex::test {

inline void writeText(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string readText(const std::filesystem::path& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

/// Every entry below `root` with its kind, mode and content (links as their targets): two equal
/// results mean every byte is where it was.
inline std::map<std::string, std::string> treeOf(const std::filesystem::path& root) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> entries;
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
        const std::string key = it->path().lexically_relative(root).string();
        if (it->is_symlink())
            entries[key] = "link:" + fs::read_symlink(it->path()).string();
        else if (it->is_directory())
            entries[key] = "folder";
        else
            entries[key] = "file:" + readText(it->path());
    }
    return entries;
}

/// One booted simulator with the app "Notes" (two app groups, one of them missing on disk), its
/// container filled, and a fake xcrun whose `defaults` commands act on one preferences domain
/// kept in a file, so a test can see what the app's preferences end up as.
class SnapshotWorld : public ::testing::Test {
protected:
    static constexpr const char* kUdid = "5C1A7E2B-0000-4000-8000-000000000001";
    static constexpr const char* kBundle = "com.example.notes";
    static constexpr const char* kGroup = "group.com.example.shared";
    static constexpr const char* kMissingGroup = "group.com.example.gone";
    static constexpr const char* kMetadata = ".com.apple.mobile_container_manager.metadata.plist";

    void SetUp() override {
        fixture.addSimulator(kUdid, "iPhone 16");
        FixtureApp notes;
        notes.bundleID = kBundle;
        notes.displayName = "Notes";
        notes.groups = {kGroup, kMissingGroup};
        const InstalledApp installed = fixture.installApp(kUdid, notes);
        app.id = kBundle;
        app.name = "Notes";
        app.devices = {kUdid};
        install.udid = kUdid;
        install.deviceName = "iPhone 16";
        install.bundle = installed.bundle;
        install.dataContainer = installed.dataContainer;
        for (const auto& [identifier, folder] : installed.groupContainers)
            install.groupContainers[QString::fromStdString(identifier)] = folder;
        container = installed.dataContainer;
        group = installed.groupContainers.at(kGroup);
        std::filesystem::remove_all(installed.groupContainers.at(kMissingGroup));
        app.installs = {install};

        domain = fake.folder() / "domain.plist";
        fake.on({"simctl", "terminate", "*", "*"});
        fake.rule({{"args", {"simctl", "spawn", "*", "defaults", "export", "*", "*"}},
                   {"effects", {{{"copy", {domain.string(), 6}}}}}});
        fake.rule({{"args", {"simctl", "spawn", "*", "defaults", "delete", "*"}},
                   {"effects", {{{"remove", domain.string()}}}}});
        fake.rule({{"args", {"simctl", "spawn", "*", "defaults", "import", "*", "*"}},
                   {"effects", {{{"copy", {6, domain.string()}}}}}});
        fillContainer("old");
    }

    /// Fills the container and the group with files whose content carries `tag`, and sets the
    /// preferences domain to `tag` too.
    void fillContainer(const std::string& tag) {
        namespace fs = std::filesystem;
        for (const char* item : {"Documents", "Library", "tmp"})
            fs::remove_all(container / item);
        for (const auto& entry : fs::directory_iterator(group))
            fs::remove_all(entry.path());
        writeText(container / kMetadata, "container metadata");
        writeText(container / "Documents/notes.txt", tag + " notes");
        writeText(container / "Documents" / (tag + "-only.txt"), tag);
        writeText(container / "Library/Preferences" / (std::string(kBundle) + ".plist"), tag + " prefs file");
        writeText(container / "Library/Caches/cache.bin", tag + " cache");
        writeText(container / "tmp/upload.part", tag + " tmp");
        writeText(group / kMetadata, "group metadata");
        writeText(group / "Library/shared.txt", tag + " shared");
        writeText(group / (tag + ".db"), tag + " db");
        writeText(domain, tag + " domain");
    }

    /// Everything of the app's data: container, group and preferences domain.
    std::map<std::string, std::string> appData() const {
        auto data = treeOf(container);
        for (const auto& [key, value] : treeOf(group))
            data["group/" + key] = value;
        data["domain"] = std::filesystem::exists(domain) ? readText(domain) : "<deleted>";
        return data;
    }

    /// Names beside the container that restores leave behind.
    std::vector<std::string> leftovers() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(container.parent_path()))
            if (entry.path().filename().string().rfind(".quorvex-", 0) == 0)
                names.push_back(entry.path().filename().string());
        return names;
    }

    bool called(const std::string& command) const {
        for (const auto& args : fake.argumentLists())
            for (const std::string& arg : args)
                if (arg == command)
                    return true;
        return false;
    }

    FixtureHome fixture;
    FakeXcrun fake;
    SimulatorApp app;
    SimulatorInstall install;
    std::filesystem::path container;
    std::filesystem::path group;
    std::filesystem::path domain;
};

} // namespace quorvex::test
