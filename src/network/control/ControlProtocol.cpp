#include "network/control/ControlProtocol.h"

#include <cstdlib>

namespace quorvex {

std::string ControlProtocol::defaultSocketPath() {
    if (const char* path = std::getenv("QUORVEX_EXTENSION_SOCKET"); path && *path)
        return path;
    return "/run/quorvex/extension.sock";
}

std::string ControlProtocol::frame(std::string_view body) {
    const auto length = static_cast<std::uint32_t>(body.size());
    std::string framed;
    framed.reserve(body.size() + 4);
    framed.push_back(static_cast<char>(length >> 24));
    framed.push_back(static_cast<char>(length >> 16));
    framed.push_back(static_cast<char>(length >> 8));
    framed.push_back(static_cast<char>(length));
    framed.append(body);
    return framed;
}

std::uint32_t ControlProtocol::frameLength(const unsigned char header[4]) {
    return (std::uint32_t{header[0]} << 24) | (std::uint32_t{header[1]} << 16) |
           (std::uint32_t{header[2]} << 8) | std::uint32_t{header[3]};
}

std::optional<nlohmann::json> ControlProtocol::parse(std::string_view body, std::string* error) {
    // The depth is measured on the text, strings skipped, before any value is built.
    int depth = 0;
    bool inString = false;
    for (std::size_t index = 0; index < body.size(); ++index) {
        const char character = body[index];
        if (inString) {
            if (character == '\\')
                ++index;
            else if (character == '"')
                inString = false;
        } else if (character == '"') {
            inString = true;
        } else if (character == '[' || character == '{') {
            if (++depth > maximumDepth) {
                if (error)
                    *error = "it nests deeper than " + std::to_string(maximumDepth) + " levels";
                return std::nullopt;
            }
        } else if (character == ']' || character == '}') {
            --depth;
        }
    }
    auto json = nlohmann::json::parse(body, nullptr, false);
    if (json.is_discarded()) {
        if (error)
            *error = "it is not JSON";
        return std::nullopt;
    }
    return json;
}

nlohmann::json ControlProtocol::toJson(const ProxyConfiguration& configuration) {
    nlohmann::json provider = nlohmann::json::object();
    if (configuration.plan)
        provider["plan"] = *configuration.plan;
    return {
        {"id", configuration.id},
        {"protocol",
         {{"providerBundleIdentifier", configuration.providerBundleIdentifier},
          {"serverAddress", configuration.serverAddress},
          {"providerConfiguration", provider}}},
        {"localizedDescription", configuration.localizedDescription},
        {"enabled", configuration.enabled},
    };
}

std::optional<ProxyConfiguration> ControlProtocol::configurationFromJson(const nlohmann::json& json,
                                                                         std::string* error) {
    auto fail = [error](const char* text) -> std::optional<ProxyConfiguration> {
        if (error)
            *error = text;
        return std::nullopt;
    };
    if (!json.is_object())
        return fail("the configuration is not an object");
    ProxyConfiguration configuration;
    if (const auto id = json.find("id"); id != json.end()) {
        if (!id->is_string())
            return fail("\"id\" is not a string");
        configuration.id = id->get<std::string>();
    }
    const auto protocol = json.find("protocol");
    if (protocol == json.end() || !protocol->is_object())
        return fail("the configuration has no protocol");
    const auto bundle = protocol->find("providerBundleIdentifier");
    const auto server = protocol->find("serverAddress");
    if (bundle == protocol->end() || !bundle->is_string() || server == protocol->end() ||
        !server->is_string())
        return fail("the protocol lacks its provider bundle identifier or server address");
    configuration.providerBundleIdentifier = bundle->get<std::string>();
    configuration.serverAddress = server->get<std::string>();
    // A provider configuration whose "plan" is missing or not bytes carries no plan; the tunnel
    // start reports that, not the save.
    configuration.plan.reset();
    if (const auto provider = protocol->find("providerConfiguration");
        provider != protocol->end() && provider->is_object())
        if (const auto plan = provider->find("plan"); plan != provider->end() && plan->is_string())
            configuration.plan = plan->get<std::string>();
    if (const auto text = json.find("localizedDescription"); text != json.end() && text->is_string())
        configuration.localizedDescription = text->get<std::string>();
    if (const auto enabled = json.find("enabled"); enabled != json.end()) {
        if (!enabled->is_boolean())
            return fail("\"enabled\" is not a boolean");
        configuration.enabled = enabled->get<bool>();
    }
    return configuration;
}

nlohmann::json ControlProtocol::toJson(const ActivationState& state) {
    return {{"approved", state.approved},
            {"awaitingApproval", state.awaitingApproval},
            {"enabled", state.enabled},
            {"proxyAllowed", state.proxyAllowed}};
}

std::optional<ActivationState> ControlProtocol::activationFromJson(const nlohmann::json& json) {
    if (!json.is_object())
        return std::nullopt;
    ActivationState state;
    for (auto [key, field] :
         {std::pair{"approved", &state.approved}, std::pair{"awaitingApproval", &state.awaitingApproval},
          std::pair{"enabled", &state.enabled}, std::pair{"proxyAllowed", &state.proxyAllowed}}) {
        const auto value = json.find(key);
        if (value == json.end() || !value->is_boolean())
            return std::nullopt;
        *field = value->get<bool>();
    }
    return state;
}

nlohmann::json ControlProtocol::success(nlohmann::json result) {
    return {{"ok", true}, {"result", std::move(result)}};
}

nlohmann::json ControlProtocol::failure(std::string_view text, ControlErrorKind kind) {
    return {{"ok", false}, {"error", text}, {"kind", kindName(kind)}};
}

std::string ControlProtocol::kindName(ControlErrorKind kind) {
    switch (kind) {
    case ControlErrorKind::NotFound:
        return "notFound";
    case ControlErrorKind::Denied:
        return "denied";
    case ControlErrorKind::Unreachable:
        return "unreachable";
    case ControlErrorKind::Failed:
        break;
    }
    return "failed";
}

ControlErrorKind ControlProtocol::kindFromName(std::string_view name) {
    if (name == "notFound")
        return ControlErrorKind::NotFound;
    if (name == "denied")
        return ControlErrorKind::Denied;
    if (name == "unreachable")
        return ControlErrorKind::Unreachable;
    return ControlErrorKind::Failed;
}

} // namespace quorvex
