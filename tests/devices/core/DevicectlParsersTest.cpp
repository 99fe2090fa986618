#include "devices/core/PhysicalDevices.h"

#include "devices/core/DeviceApp.h"
#include "devices/core/SplitQuotedWords.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <functional>

using namespace quorvex;
using nlohmann::json;

namespace {

QByteArray wrap(const char* key, const json& list) {
    return QByteArray::fromStdString(json{{"result", {{key, list}}}}.dump());
}

// A device entry as devicectl writes it for a phone on the cable, trimmed to the keys we read.
json connectedPhone(const std::string& id = "00008110-AAAA") {
    return {{"identifier", id},
            {"deviceProperties", {{"name", "Ada's iPhone"}, {"osVersionNumber", "18.1"}}},
            {"hardwareProperties",
             {{"reality", "physical"},
              {"platform", "iOS"},
              {"marketingName", "iPhone 15 Pro"},
              {"productType", "iPhone16,1"}}},
            {"connectionProperties", {{"tunnelState", "connected"}, {"transportType", "wired"}}}};
}

} // namespace

TEST(DevicectlParsersTest, DeviceIsListedOnlyWhenPhysicalConnectedMobileAndNamed) {
    struct Case {
        const char* what;
        std::function<void(json&)> change;
        bool listed;
    };
    const Case cases[] = {
        {"a connected phone", [](json&) {}, true},
        {"an iPad", [](json& d) { d["hardwareProperties"]["platform"] = "iPadOS"; }, true},
        {"a simulator", [](json& d) { d["hardwareProperties"]["reality"] = "virtual"; }, false},
        {"no reality", [](json& d) { d["hardwareProperties"].erase("reality"); }, false},
        {"a paired but unreachable phone",
         [](json& d) { d["connectionProperties"]["tunnelState"] = "disconnected"; }, false},
        {"no connection properties", [](json& d) { d.erase("connectionProperties"); }, false},
        {"connection properties of the wrong type", [](json& d) { d["connectionProperties"] = "connected"; },
         false},
        {"a watch", [](json& d) { d["hardwareProperties"]["platform"] = "watchOS"; }, false},
        {"a TV", [](json& d) { d["hardwareProperties"]["platform"] = "tvOS"; }, false},
        {"platform in the wrong case", [](json& d) { d["hardwareProperties"]["platform"] = "ios"; }, false},
        {"no platform", [](json& d) { d["hardwareProperties"].erase("platform"); }, false},
        {"no name", [](json& d) { d["deviceProperties"].erase("name"); }, false},
        {"a name that is not text", [](json& d) { d["deviceProperties"]["name"] = 7; }, false},
        {"no device properties", [](json& d) { d.erase("deviceProperties"); }, false},
        {"no identifier", [](json& d) { d.erase("identifier"); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        json entry = connectedPhone();
        c.change(entry);
        const auto devices = PhysicalDevices::parseDevices(wrap("devices", json::array({entry})));
        EXPECT_EQ(devices.size(), c.listed ? 1u : 0u);
    }
}

TEST(DevicectlParsersTest, DeviceFieldsComeFromTheirPropertiesAndOptionalOnesMayBeMissing) {
    json bare = connectedPhone("B");
    bare["hardwareProperties"].erase("marketingName");
    bare["hardwareProperties"].erase("productType");
    const auto devices =
        PhysicalDevices::parseDevices(wrap("devices", json::array({connectedPhone("A"), bare})));
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0], (PhysicalDevice{"A", "Ada's iPhone", "iPhone 15 Pro", "iPhone16,1", {}}));
    EXPECT_EQ(devices[1], (PhysicalDevice{"B", "Ada's iPhone", std::nullopt, std::nullopt, {}}));
}

TEST(DevicectlParsersTest, ListOfAnyOtherShapeGivesNoDevices) {
    const QByteArray cases[] = {
        "",
        "not json",
        "[]",
        R"({"devices": []})",
        R"({"result": []})",
        R"({"result": {"devices": {}}})",
        wrap("devices", json::array({connectedPhone("A"), "B", connectedPhone("C")})), // one odd element
        wrap("devices", json::array({connectedPhone("A"), nullptr})),
    };
    for (const QByteArray& output : cases) {
        SCOPED_TRACE(output.toStdString());
        EXPECT_TRUE(PhysicalDevices::parseDevices(output).empty());
    }
}

TEST(DevicectlParsersTest, CapabilitiesAreTheFeatureIdentifiersPresent) {
    const json list = json::array({{{"featureIdentifier", "com.apple.coredevice.feature.launchapplication"}},
                                   {{"name", "no identifier"}},
                                   {{"featureIdentifier", 42}},
                                   {{"featureIdentifier", "com.apple.coredevice.feature.screenshot"}}});
    EXPECT_EQ(PhysicalDevices::parseCapabilities(wrap("capabilities", list)),
              (std::set<QString>{"com.apple.coredevice.feature.launchapplication",
                                 "com.apple.coredevice.feature.screenshot"}));
    EXPECT_TRUE(PhysicalDevices::parseCapabilities(
                    wrap("capabilities", json::array({{{"featureIdentifier", "x"}}, "odd"})))
                    .empty());
    EXPECT_TRUE(PhysicalDevices::parseCapabilities("{").empty());
}

TEST(DevicectlParsersTest, AppsSkipHiddenAndUnidentifiedEntriesAndSortByNameIgnoringCase) {
    const json list = json::array({
        {{"bundleIdentifier", "com.example.zeta"}, {"name", "zeta"}, {"hidden", false}},
        {{"bundleIdentifier", "com.apple.hidden"}, {"name", "Hidden"}, {"hidden", true}},
        {{"name", "No identifier"}},
        {{"bundleIdentifier", "com.example.alpha"}, {"name", "Alpha"}, {"url", "file:///private/var/A.app/"}},
        {{"bundleIdentifier", "com.example.unnamed"}},
        {{"bundleIdentifier", "com.example.alpha2"}, {"name", "alpha"}}, // equal names keep the tool's order
        {{"bundleIdentifier", "com.example.odd-hidden"}, {"name", "Beta"}, {"hidden", "yes"}},
    });
    const auto apps = DeviceApp::parseApps(wrap("apps", list));
    std::vector<QString> ids;
    for (const DeviceApp& app : apps)
        ids.push_back(app.id);
    EXPECT_EQ(ids, (std::vector<QString>{"com.example.alpha", "com.example.alpha2", "com.example.odd-hidden",
                                         "com.example.unnamed", "com.example.zeta"}));
    EXPECT_EQ(apps[0].bundleURL, QString("file:///private/var/A.app/"));
    EXPECT_EQ(apps[1].bundleURL, std::nullopt);
    EXPECT_EQ(apps[3].name, QString("com.example.unnamed"));
}

TEST(DevicectlParsersTest, AppVersionJoinsVersionAndBuild) {
    struct Case {
        json fields;
        std::optional<QString> version;
    };
    const Case cases[] = {
        {{{"version", "2.1"}, {"bundleVersion", "45"}}, QString("2.1 (45)")},
        {{{"version", "2.1"}}, QString("2.1")},
        {{{"bundleVersion", "45"}}, QString("(45)")},
        {json::object(), std::nullopt},
        {{{"version", 2.1}, {"bundleVersion", 45}}, std::nullopt}, // numbers are not versions
        {{{"version", ""}, {"bundleVersion", "45"}}, QString("(45)")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fields.dump());
        json entry = c.fields;
        entry["bundleIdentifier"] = "com.example.app";
        const auto apps = DeviceApp::parseApps(wrap("apps", json::array({entry})));
        ASSERT_EQ(apps.size(), 1u);
        EXPECT_EQ(apps[0].version, c.version);
    }
}

TEST(DevicectlParsersTest, OneOddAppElementVoidsTheList) {
    EXPECT_TRUE(DeviceApp::parseApps(wrap("apps", json::array({{{"bundleIdentifier", "a"}}, 3}))).empty());
}

TEST(DevicectlParsersTest, RunningProcessIsTheFirstInsideTheBundleFolder) {
    const auto processes = [](const json& list) { return wrap("runningProcesses", list); };
    const json list = json::array({
        {{"executable", "file:///private/var/containers/Bundle/Application/X/Shop.appex/Shop"},
         {"processIdentifier", 11}},
        {{"executable", "file:///private/var/containers/Bundle/Application/X/Shop.app/Shop"},
         {"processIdentifier", 412}},
        {{"executable", "file:///private/var/containers/Bundle/Application/X/Shop.app/Plugin"},
         {"processIdentifier", 413}},
    });
    struct Case {
        const char* what;
        std::optional<QString> bundleURL;
        QByteArray output;
        std::optional<qint64> pid;
    };
    const Case cases[] = {
        {"bundle URL with a slash", "file:///private/var/containers/Bundle/Application/X/Shop.app/",
         processes(list), 412},
        {"bundle URL without a slash does not match the sibling .appex",
         "file:///private/var/containers/Bundle/Application/X/Shop.app", processes(list), 412},
        {"no bundle URL", std::nullopt, processes(list), std::nullopt},
        {"not running", "file:///private/var/containers/Bundle/Application/Y/Other.app/", processes(list),
         std::nullopt},
        {"match without an integer identifier", "file:///a/Shop.app/",
         processes(json::array({{{"executable", "file:///a/Shop.app/Shop"}, {"processIdentifier", "412"}}})),
         std::nullopt},
        {"odd element", "file:///a/Shop.app/",
         processes(json::array({{{"executable", "file:///a/Shop.app/Shop"}, {"processIdentifier", 1}}, 5})),
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DeviceApp app{"com.example.shop", "Shop", std::nullopt, c.bundleURL};
        EXPECT_EQ(DeviceApp::runningProcessID(app, c.output), c.pid);
    }
}

TEST(DevicectlParsersTest, QuotedWordsGroupButDoNotSeparate) {
    struct Case {
        QString text;
        QStringList words;
    };
    const Case cases[] = {
        {"-flag 'two words' x", {"-flag", "two words", "x"}},
        {"   \t ", {}},
        {"", {}},
        {R"(-name "Ada Lovelace"  --verbose)", {"-name", "Ada Lovelace", "--verbose"}},
        {R"(a"b c"d)", {"ab cd"}},
        {R"("it's" 'say "hi"')", {"it's", R"(say "hi")"}},
        {R"(x "" '' y)", {"x", "y"}},
        {R"(-open "unclosed text)", {"-open", "unclosed text"}},
        {"tab\tand\nnewline", {"tab", "and", "newline"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(splitQuotedWords(c.text), c.words);
    }
}
