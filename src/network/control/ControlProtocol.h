#pragma once

#include "network/control/ExtensionControl.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvex {

/// The wire format between the app (or `quorvexctl`) and the extension daemon, shared by both
/// sides. Each message is one frame: a 4-byte big-endian length, then that many bytes of JSON.
/// A request is an object {"operation": name, ...arguments}; a reply is {"ok": true, "result": ...}
/// or {"ok": false, "error": text, "kind": "failed" | "notFound" | "denied"}.
///
/// Operations: "requestActivation", "deactivate", "activationState", "loadConfigurations",
/// "saveConfiguration" {"configuration"}, "removeConfiguration" {"id"}, "startTunnel" {"id"},
/// "stopTunnel" {"id"}, "status" {"id"}, "sendMessage" {"id", "message"}; for the administrator
/// (root only): "approve", "allowProxy", "reset", "overview". The administrator's operations answer
/// {"activation", "configurations" (each with its "status"), "undecidedFlows" {"held", "refused"}}.
struct ControlProtocol {
    /// Frames larger than this are refused by both sides (a plan is a few kilobytes).
    static constexpr std::uint32_t maximumFrameBytes = 4 * 1024 * 1024;
    /// Requests are smaller still: the daemon holds the bodies of several callers at once.
    static constexpr std::uint32_t maximumRequestBytes = 1024 * 1024;
    /// Arrays and objects nested deeper than this are refused before they are parsed: no request
    /// or reply needs more than a handful of levels, and copying or printing a value recurses
    /// once per level.
    static constexpr int maximumDepth = 32;

    /// What a user the daemon refuses is told to do.
    static constexpr const char* howToBeAllowed =
        "The administrator allows users with the daemon's --allow-user NAME or --allow-group GROUP.";

    /// The socket path: QUORVEX_EXTENSION_SOCKET when set, else /run/quorvex/extension.sock.
    static std::string defaultSocketPath();

    static std::string frame(std::string_view body);
    /// The body length announced by a 4-byte header.
    static std::uint32_t frameLength(const unsigned char header[4]);
    /// Parses a frame's body: none, with the reason in `error`, when it is not JSON or nests
    /// deeper than `maximumDepth`.
    static std::optional<nlohmann::json> parse(std::string_view body, std::string* error = nullptr);

    static nlohmann::json toJson(const ProxyConfiguration& configuration);
    static std::optional<ProxyConfiguration> configurationFromJson(const nlohmann::json& json,
                                                                   std::string* error = nullptr);
    static nlohmann::json toJson(const ActivationState& state);
    static std::optional<ActivationState> activationFromJson(const nlohmann::json& json);

    static nlohmann::json success(nlohmann::json result = nullptr);
    static nlohmann::json failure(std::string_view text, ControlErrorKind kind = ControlErrorKind::Failed);
    static std::string kindName(ControlErrorKind kind);
    static ControlErrorKind kindFromName(std::string_view name);
};

} // namespace quorvex
