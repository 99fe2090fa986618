#include "devices/core/Devicectl.h"

#include "devices/core/DevicesLog.h"
#include "tools/ToolPaths.h"

namespace quorvex::devicectl {

std::optional<QByteArray> run(std::vector<std::string> arguments, std::chrono::milliseconds timeout) {
    arguments.insert(arguments.begin(), "devicectl");
    return runTool(ToolPaths::xcrun(), arguments, timeout);
}

std::optional<nlohmann::json> resultObjects(const QByteArray& output, const char* key) {
    const auto json = nlohmann::json::parse(output.begin(), output.end(), nullptr, false);
    if (!json.is_object()) {
        qCWarning(devicesLog) << "devicectl printed no JSON object," << output.size() << "bytes";
        return std::nullopt;
    }
    const auto result = json.find("result");
    if (result == json.end() || !result->is_object()) {
        qCWarning(devicesLog) << "devicectl's JSON has no result object";
        return std::nullopt;
    }
    const auto list = result->find(key);
    if (list == result->end() || !list->is_array())
        return std::nullopt;
    for (const auto& element : *list)
        if (!element.is_object())
            return std::nullopt;
    return *list;
}

std::optional<QString> text(const nlohmann::json& object, const char* key) {
    const auto value = object.find(key);
    if (value == object.end() || !value->is_string())
        return std::nullopt;
    return QString::fromStdString(value->get_ref<const std::string&>());
}

const nlohmann::json& object(const nlohmann::json& parent, const char* key) {
    static const nlohmann::json empty = nlohmann::json::object();
    const auto value = parent.find(key);
    return value != parent.end() && value->is_object() ? *value : empty;
}

} // namespace quorvex::devicectl
