#include "panel/sections/LanguageTools.h"

namespace quorvex {
namespace {

class SimulatorLanguageTools final : public LanguageTools {
public:
    DeviceTools::LanguageAndRegion languageAndRegion(const QString& udid) override {
        return DeviceTools::languageAndRegion(udid);
    }
    bool setLanguageAndRegion(const QString& language, const QString& region, const QString& udid) override {
        return DeviceTools::setLanguageAndRegion(language, region, udid);
    }
    bool terminateApp(const QString& bundleID, const QString& udid) override {
        return DeviceTools::terminateApp(bundleID, udid);
    }
    bool launchApp(const QString& bundleID, const QString& udid) override {
        return DeviceTools::launchApp(bundleID, udid);
    }
};

} // namespace

LanguageTools& LanguageTools::simulator() {
    static SimulatorLanguageTools tools;
    return tools;
}

} // namespace quorvex
