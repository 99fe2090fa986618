#include "support/DemoWorld.h"

#include "platform/data/PlistSettingsFormat.h"

#include <QColor>
#include <QDateTime>
#include <QImage>
#include <QPainter>
#include <QVariantMap>

#include <chrono>
#include <fstream>
#include <tuple>

namespace quorvex::test {

void DemoWorld::build(FixtureHome& world) {
    world.addSimulator(kPhone, "iPhone 15 Pro", 300);
    world.addSimulator(kPad, "iPad Air", 120);
    // The camera's permission is written to the simulator's privacy database, not through simctl:
    // without one, every camera row of the demo would fail.
    world.addPrivacyDatabase(kPhone);
    world.addPrivacyDatabase(kPad);
    const FixtureApp apps[] = {
        {"com.example.orders",
         "Orders",
         "Orders",
         "2.1",
         "45",
         "User",
         {"AppIcon60x60"},
         {"group.com.example.shared"}},
        {"com.example.weather", "Weather Lab", "WeatherLab", "1.0", "7", "User", {"AppIcon60x60"}, {}},
        {"com.example.notes", "", "Notes", "", "12", "User", {"AppIcon60x60"}, {}},
    };
    for (const FixtureApp& entry : apps)
        world.installApp(kPhone, entry);
    world.installApp(kPad, apps[0]);
}

namespace {

namespace fs = std::filesystem;

// A file of `bytes` bytes; the content does not matter, only the space it takes.
void fill(const fs::path& path, std::size_t bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << std::string(bytes, 'q');
}

void writePlist(const fs::path& path, const QVariantMap& map) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << variantToPlistXml(map).toStdString();
}

// Sets the modification time of `path` (a file or a folder) to `days` days ago.
void age(const fs::path& path, int days) {
    const auto when = fs::file_time_type::clock::now() - std::chrono::hours(24 * days);
    std::error_code ignored;
    fs::last_write_time(path, when, ignored);
}

QDateTime daysAgo(int days) {
    return QDateTime::currentDateTimeUtc().addDays(-days);
}

std::string isoDaysAgo(int days) {
    return daysAgo(days).toString(Qt::ISODate).toStdString();
}

void appIcon(const fs::path& path, const QColor& color) {
    fs::create_directories(path.parent_path());
    QImage image(120, 120, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(color);
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(0, 0, 120, 120), 27, 27);
    painter.end();
    image.save(QString::fromStdString(path.string()));
}

} // namespace

nlohmann::json DemoWorld::addDeveloperData(const fs::path& home) {
    const fs::path library = home / "Library";
    const fs::path xcode = library / "Developer/Xcode";
    constexpr std::size_t kKB = 1024;

    // DerivedData: three projects (one not built for six weeks) and the shared module cache. The
    // Orders project holds the app's build, so the app's own cleaning finds it.
    struct Project {
        const char* folder;
        const char* workspace;
        const char* app;
        const char* bundleID;
        int builtDaysAgo;
        std::size_t kilobytes;
    };
    const Project projects[] = {
        {"Orders-bcdtyqkvwxzgnhaeqjmfpslrou", "Projects/Orders/Orders.xcodeproj", "Orders.app",
         "com.example.orders", 0, 900},
        {"WeatherLab-dfkqpzvhwnxtbjgrmyelcuosai", "Projects/WeatherLab/WeatherLab.xcworkspace",
         "WeatherLab.app", "com.example.weather", 44, 600},
        {"Notes-gkwrbzpqyxdhnftvlmcejsuaio", "Projects/Notes/Notes.xcodeproj", "Notes.app",
         "com.example.notes", 9, 400},
    };
    for (const Project& project : projects) {
        const fs::path folder = xcode / "DerivedData" / project.folder;
        writePlist(folder / "info.plist",
                   {{"WorkspacePath", QString::fromStdString((home / project.workspace).string())},
                    {"LastAccessedDate", daysAgo(project.builtDaysAgo)}});
        const fs::path products = folder / "Build/Products/Debug-iphonesimulator" / project.app;
        writePlist(products / "Info.plist", {{"CFBundleIdentifier", project.bundleID}});
        fill(products / "binary", project.kilobytes / 3 * kKB);
        fill(folder / "Build/Intermediates.noindex/objects.o", project.kilobytes / 3 * kKB);
        fill(folder / "Index.noindex/DataStore/records", project.kilobytes / 3 * kKB);
        fill(folder / "SourcePackages/checkouts/swift-collections/Package.swift", 40 * kKB);
    }
    fill(xcode / "DerivedData/ModuleCache.noindex/Foundation.pcm", 200 * kKB);

    // Archives: an uploaded one from last year, a recent one not uploaded, one of another app.
    struct Archive {
        const char* folder;
        const char* name;
        const char* bundleID;
        const char* version;
        const char* build;
        int daysAgo;
        bool uploaded;
        QColor color;
    };
    const Archive archives[] = {
        {"2025-10-02/Orders 10-2-25, 09.41.xcarchive", "Orders", "com.example.orders", "2.0", "40", 240, true,
         QColor(255, 149, 0)},
        {"2026-01-20/Orders 1-20-26, 16.05.xcarchive", "Orders", "com.example.orders", "2.1", "45", 12, false,
         QColor(255, 149, 0)},
        {"2026-01-08/WeatherLab 1-8-26, 11.20.xcarchive", "WeatherLab", "com.example.weather", "1.0", "7", 25,
         true, QColor(50, 173, 230)},
    };
    for (const Archive& archive : archives) {
        const fs::path folder = xcode / "Archives" / archive.folder;
        QVariantMap info{
            {"Name", archive.name},
            {"CreationDate", daysAgo(archive.daysAgo)},
            {"ApplicationProperties", QVariantMap{{"CFBundleShortVersionString", archive.version},
                                                  {"CFBundleVersion", archive.build},
                                                  {"CFBundleIdentifier", archive.bundleID}}}};
        if (archive.uploaded)
            info.insert("Distributions",
                        QVariantList{QVariantMap{{"destination", "upload"},
                                                 {"uploadEvent", QVariantMap{{"state", "success"}}}}});
        writePlist(folder / "Info.plist", info);
        const fs::path app = folder / "Products/Applications" / (std::string(archive.name) + ".app");
        appIcon(app / "AppIcon60x60@2x.png", archive.color);
        fill(app / archive.name, 250 * kKB);
        fill(folder / "dSYMs" / (std::string(archive.name) + ".app.dSYM/Contents/Resources/DWARF") /
                 archive.name,
             300 * kKB);
    }

    // Device support: four iOS versions (the two oldest are old) and one watchOS version, each as
    // old as the last time a device on it was connected.
    for (const auto& [name, days] :
         {std::pair{"iPhone16,1 18.2 (22C152)", 5}, std::pair{"iPhone15,2 17.5.1 (21F90)", 60},
          std::pair{"16.4 (20E247)", 300}, std::pair{"iPhone12,1 15.7 (19H12)", 500}}) {
        fill(xcode / "iOS DeviceSupport" / name / "Symbols/System/Library/dyld", 220 * kKB);
        age(xcode / "iOS DeviceSupport" / name, days);
    }
    fill(xcode / "watchOS DeviceSupport/Watch6,1 10.5 (21T575)/Symbols/dyld", 120 * kKB);
    age(xcode / "watchOS DeviceSupport/Watch6,1 10.5 (21T575)", 90);

    // Documentation: a current download, one of an older Xcode, and a legacy docset.
    fill(xcode / "DocumentationCache/v268/index.db", 180 * kKB);
    fill(xcode / "DocumentationCache/v245/index.db", 150 * kKB);
    fill(library /
             "Developer/Shared/Documentation/DocSets/com.apple.adc.documentation.iOS.docset/Contents/Info",
         60 * kKB);

    // Logs: a booted simulator's, a deleted simulator's, old Xcode logs, crash reports of
    // developer tools (and one of another app, which is no developer data) and device logs.
    fill(library / "Logs/CoreSimulator" / kPhone / "system.log", 120 * kKB);
    fill(library / "Logs/CoreSimulator/0C0FFEE0-DEAD-4BEE-8000-00000000D1ED/system.log", 80 * kKB);
    age(library / "Logs/CoreSimulator/0C0FFEE0-DEAD-4BEE-8000-00000000D1ED/system.log", 70);
    age(library / "Logs/CoreSimulator/0C0FFEE0-DEAD-4BEE-8000-00000000D1ED", 70);
    fill(library / "Logs/CoreSimulator/CoreSimulator.log", 30 * kKB);
    fill(library / "Logs/Xcode/IDEBuildOperation-2025-11-02.log", 60 * kKB);
    age(library / "Logs/Xcode/IDEBuildOperation-2025-11-02.log", 90);
    fill(library / "Logs/Xcode/IDEBuildOperation-2026-01-30.log", 40 * kKB);
    fill(library / "Logs/DiagnosticReports/Xcode-2026-01-12-101502.ips", 30 * kKB);
    fill(library / "Logs/DiagnosticReports/xcodebuild_2025-10-14-093011.ips", 20 * kKB);
    age(library / "Logs/DiagnosticReports/xcodebuild_2025-10-14-093011.ips", 110);
    fill(library / "Logs/DiagnosticReports/Safari-2026-01-28-120000.ips", 20 * kKB);
    fill(xcode / "iOS Device Logs/iPhone 15 Pro/console.log", 90 * kKB);

    // Package caches and other caches.
    fill(library / "Caches/org.swift.swiftpm/repositories/swift-collections/objects/pack", 300 * kKB);
    fill(xcode / "SourcePackages/artifacts/extract/binary.zip", 120 * kKB);
    fill(library / "Caches/CocoaPods/Pods/Release/Alamofire/5.9.1/Source.swift", 160 * kKB);
    fill(home / ".cocoapods/repos/trunk/Specs/0/0/0/Alamofire/5.9.1/Alamofire.podspec.json", 80 * kKB);
    fill(library / "Caches/com.apple.dt.Xcode/Cache.db", 140 * kKB);
    fill(library / "Developer/CoreSimulator/Caches/dyld/23C71/dyld_sim_shared_cache", 260 * kKB);
    fill(xcode / "UserData/Previews/Simulator Devices/preview.data", 180 * kKB);

    // A simulator folder that simctl no longer lists.
    fill(library /
             "Developer/CoreSimulator/Devices/0C0FFEE0-DEAD-4BEE-8000-00000000D1ED/data/Containers/old.db",
         300 * kKB);
    age(library / "Developer/CoreSimulator/Devices/0C0FFEE0-DEAD-4BEE-8000-00000000D1ED", 70);

    // Two Xcode copies side by side: the active one and an older one.
    for (const auto& [name, version, build] :
         {std::tuple{"Xcode.app", "16.2", "16C5032a"}, std::tuple{"Xcode-15.4.app", "15.4", "15F31d"}}) {
        const fs::path app = home / "Applications" / name;
        writePlist(app / "Contents/Info.plist", {{"CFBundleIdentifier", "com.apple.dt.Xcode"}});
        writePlist(app / "Contents/version.plist",
                   {{"CFBundleShortVersionString", version}, {"ProductBuildVersion", build}});
        fill(app / "Contents/MacOS/Xcode", 200 * kKB);
        fs::create_directories(app / "Contents/Developer");
    }

    // Folder dates last: writing inside a folder touches it. The old project's folders and the
    // older documentation are as old as their contents.
    age(xcode / "DerivedData" / projects[1].folder, 44);
    age(xcode / "DocumentationCache/v245", 300);
    age(home / "Applications/Xcode-15.4.app", 400);

    const auto device = [](const char* udid, const char* name, const char* state, int usedDaysAgo,
                           std::int64_t bytes, bool available = true) {
        return nlohmann::json{{"udid", udid},
                              {"name", name},
                              {"state", state},
                              {"isAvailable", available},
                              {"lastUsedAt", isoDaysAgo(usedDaysAgo)},
                              {"dataPathSize", bytes}};
    };
    const nlohmann::json devices = {
        {"devices",
         {{"com.apple.CoreSimulator.SimRuntime.iOS-18-2",
           {device(kPhone, "iPhone 15 Pro", "Booted", 0, 1'840'000'000),
            device(kPad, "iPad Air", "Booted", 0, 960'000'000),
            device("6F1A2B3C-0000-4000-8000-0000000000B2", "iPhone SE (3rd generation)", "Shutdown", 20,
                   410'000'000)}},
          {"com.apple.CoreSimulator.SimRuntime.iOS-17-5",
           {device("6F1A2B3C-0000-4000-8000-000000000011", "iPhone 11", "Shutdown", 130, 2'650'000'000)}},
          {"com.apple.CoreSimulator.SimRuntime.iOS-16-4",
           {device("6F1A2B3C-0000-4000-8000-000000000008", "iPhone 8", "Shutdown", 300, 730'000'000,
                   false)}}}}};
    const auto runtime = [](const char* identifier, const char* runtimeIdentifier, const char* version,
                            const char* build, std::int64_t bytes, int usedDaysAgo, bool deletable) {
        return nlohmann::json{{"identifier", identifier}, {"runtimeIdentifier", runtimeIdentifier},
                              {"version", version},       {"build", build},
                              {"sizeBytes", bytes},       {"lastUsedAt", isoDaysAgo(usedDaysAgo)},
                              {"deletable", deletable}};
    };
    const nlohmann::json runtimes = {
        {"A1", runtime("4E0A1B2C-0000-4000-8000-0000000000A1", "com.apple.CoreSimulator.SimRuntime.iOS-18-2",
                       "18.2", "22C150", 8'200'000'000, 0, false)},
        {"A2", runtime("4E0A1B2C-0000-4000-8000-0000000000A2", "com.apple.CoreSimulator.SimRuntime.iOS-17-5",
                       "17.5", "21F79", 7'400'000'000, 130, true)},
        {"A3",
         runtime("4E0A1B2C-0000-4000-8000-0000000000A3", "com.apple.CoreSimulator.SimRuntime.watchOS-11-2",
                 "11.2", "22S99", 4'100'000'000, 60, true)},
    };
    return nlohmann::json::array(
        {{{"args", {"simctl", "list", "devices", "-j"}}, {"stdout", devices.dump()}},
         {{"args", {"simctl", "runtime", "list", "-j"}}, {"stdout", runtimes.dump()}},
         {{"tool", "xcode-select"},
          {"args", {"-p"}},
          {"stdout", (home / "Applications/Xcode.app/Contents/Developer").string() + "\n"}}});
}

} // namespace quorvex::test
