#include "simulator/SimulatorApp.h"

#include <nlohmann/json.hpp>

namespace quorvex {

const SimulatorInstall* SimulatorApp::install(const QString& udid) const {
    for (const SimulatorInstall& candidate : installs)
        if (candidate.udid == udid)
            return &candidate;
    return nullptr;
}

nlohmann::json toJson(const SimulatorApp& app) {
    nlohmann::json devices = nlohmann::json::array();
    for (const QString& udid : app.devices)
        devices.push_back(udid.toStdString());
    nlohmann::json json = {{"id", app.id.toStdString()},
                           {"name", app.name.toStdString()},
                           {"bundleFolder", app.bundleFolder.toStdString()},
                           {"devices", devices}};
    if (app.iconPath)
        json["iconPath"] = app.iconPath->string();
    return json;
}

std::optional<SimulatorApp> simulatorAppFromJson(const nlohmann::json& json) {
    if (!json.is_object())
        return std::nullopt;
    auto text = [&](const char* key) -> std::optional<QString> {
        const auto it = json.find(key);
        if (it == json.end() || !it->is_string())
            return std::nullopt;
        return QString::fromStdString(it->get<std::string>());
    };
    const auto id = text("id");
    const auto name = text("name");
    const auto bundleFolder = text("bundleFolder");
    const auto devices = json.find("devices");
    if (!id || !name || !bundleFolder || devices == json.end() || !devices->is_array())
        return std::nullopt;

    SimulatorApp app;
    app.id = *id;
    app.name = *name;
    app.bundleFolder = *bundleFolder;
    for (const nlohmann::json& udid : *devices) {
        if (!udid.is_string())
            return std::nullopt;
        app.devices.append(QString::fromStdString(udid.get<std::string>()));
    }
    if (const auto icon = json.find("iconPath"); icon != json.end() && !icon->is_null()) {
        if (!icon->is_string())
            return std::nullopt;
        app.iconPath = std::filesystem::path(icon->get<std::string>());
    }
    return app;
}

} // namespace quorvex
