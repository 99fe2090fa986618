#include "extension/ControlService.h"

#include "network/control/ControlProtocol.h"

#include <unistd.h>

#include <random>
#include <system_error>

namespace quorvex {

namespace {

constexpr const char* activationFile = "activation.json";
constexpr const char* configurationsFile = "configurations.json";

std::optional<nlohmann::json> readJson(const StateFolder& folder, const char* name) {
    const auto bytes = folder.read(name);
    return bytes ? ControlProtocol::parse(*bytes) : std::nullopt;
}

bool writeJson(const StateFolder& folder, const char* name, const nlohmann::json& json) {
    return folder.write(name, json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + '\n');
}

nlohmann::json failure(std::string_view text, ControlErrorKind kind = ControlErrorKind::Failed) {
    return ControlProtocol::failure(text, kind);
}

} // namespace

ControlService::ControlService(Options options, ProxyTunnel& tunnel)
    : m_options(std::move(options))
    , m_tunnel(tunnel)
    , m_logger("com.zelmora.Quorvex", "control")
    , m_folder(m_options.stateFolder) {
    load();
    if (m_options.autoApprove) {
        m_stored.approved = true;
        m_stored.proxyAllowed = true;
        saveActivation();
    }
}

std::string ControlService::deniedText() {
    return std::string("This user may not use the network extension. ") + ControlProtocol::howToBeAllowed;
}

ControlService::~ControlService() {
    shutdown();
}

void ControlService::shutdown() {
    const std::lock_guard lock(m_mutex);
    stopLocked();
}

ActivationState ControlService::activation() const {
    const std::lock_guard lock(m_mutex);
    return activationLocked();
}

SessionStatus ControlService::status(const std::string& id) const {
    const std::lock_guard lock(m_mutex);
    for (const auto& configuration : m_configurations)
        if (configuration.id == id)
            return id == m_runningId ? m_status : SessionStatus::Disconnected;
    return SessionStatus::Invalid;
}

ActivationState ControlService::activationLocked() const {
    ActivationState state;
    state.approved = m_stored.approved;
    state.awaitingApproval = m_stored.activated && !m_stored.approved;
    state.enabled = m_stored.activated && m_stored.approved;
    state.proxyAllowed = m_stored.proxyAllowed;
    return state;
}

ProxyConfiguration ControlService::effective(const ProxyConfiguration& configuration) const {
    ProxyConfiguration shown = configuration;
    shown.enabled = configuration.enabled && m_stored.proxyAllowed;
    return shown;
}

bool ControlService::mayUse(const ControlCaller& caller) const {
    return caller.uid == 0 || caller.uid == ::geteuid() || m_options.allowedUsers.count(caller.uid) != 0 ||
           m_options.allowedGroups.count(caller.gid) != 0 ||
           std::any_of(caller.groups.begin(), caller.groups.end(),
                       [this](gid_t group) { return m_options.allowedGroups.count(group) != 0; });
}

std::vector<ProxyConfiguration>::iterator ControlService::find(const std::string& id) {
    return std::find_if(m_configurations.begin(), m_configurations.end(),
                        [&](const ProxyConfiguration& configuration) { return configuration.id == id; });
}

void ControlService::stopLocked() {
    if (m_runningId.empty())
        return;
    m_status = SessionStatus::Disconnecting;
    m_tunnel.stop();
    m_runningId.clear();
    m_status = SessionStatus::Disconnected;
}

nlohmann::json ControlService::handle(const nlohmann::json& request, const ControlCaller& caller) {
    if (!mayUse(caller))
        return failure(deniedText(), ControlErrorKind::Denied);
    if (!request.is_object() || !request.contains("operation") || !request["operation"].is_string())
        return failure("The request names no operation.");
    try {
        const std::lock_guard lock(m_mutex);
        return dispatch(request["operation"].get<std::string>(), request, caller);
    } catch (const std::exception& error) {
        return failure(std::string("The request could not be handled: ") + error.what());
    }
}

nlohmann::json ControlService::dispatch(const std::string& operation, const nlohmann::json& request,
                                        const ControlCaller& caller) {
    const auto idArgument = [&request]() -> std::optional<std::string> {
        const auto id = request.find("id");
        if (id == request.end() || !id->is_string())
            return std::nullopt;
        return id->get<std::string>();
    };
    const bool administrator = caller.uid == 0;

    if (operation == "requestActivation") {
        m_stored.activated = true;
        if (m_options.autoApprove)
            m_stored.approved = true;
        saveActivation();
        if (!m_stored.approved)
            m_logger.info("Activation of %{public}s awaits approval (quorvexctl approve)",
                          extensionIdentifier);
        return ControlProtocol::success(ControlProtocol::toJson(activationLocked()));
    }
    if (operation == "deactivate") {
        if (!m_stored.activated)
            return failure("The network extension is not installed.", ControlErrorKind::NotFound);
        stopLocked();
        m_stored.activated = false;
        saveActivation();
        return ControlProtocol::success();
    }
    if (operation == "activationState")
        return ControlProtocol::success(ControlProtocol::toJson(activationLocked()));
    if (operation == "loadConfigurations") {
        nlohmann::json list = nlohmann::json::array();
        for (const auto& configuration : m_configurations)
            list.push_back(ControlProtocol::toJson(effective(configuration)));
        return ControlProtocol::success(std::move(list));
    }
    if (operation == "saveConfiguration") {
        std::string error;
        auto configuration =
            ControlProtocol::configurationFromJson(request.value("configuration", nlohmann::json()), &error);
        if (!configuration)
            return failure("The configuration cannot be read: " + error);
        if (ControlProtocol::toJson(*configuration).dump().size() > maximumConfigurationBytes)
            return failure("The configuration is too large.");
        if (configuration->providerBundleIdentifier != extensionIdentifier)
            return failure("The configuration names an unknown extension: " +
                           configuration->providerBundleIdentifier);
        if (configuration->id.empty()) {
            if (m_configurations.size() >= maximumConfigurations)
                return failure("Too many proxy configurations are saved.");
            configuration->id = newIdentifier();
            m_configurations.push_back(*configuration);
        } else if (auto existing = find(configuration->id); existing != m_configurations.end()) {
            *existing = *configuration;
        } else {
            return failure("No such proxy configuration: " + configuration->id, ControlErrorKind::NotFound);
        }
        saveConfigurations();
        return ControlProtocol::success(ControlProtocol::toJson(effective(*configuration)));
    }
    if (operation == "removeConfiguration") {
        const auto id = idArgument();
        const auto existing = id ? find(*id) : m_configurations.end();
        if (existing == m_configurations.end())
            return failure("No such proxy configuration.", ControlErrorKind::NotFound);
        if (*id == m_runningId)
            stopLocked();
        m_configurations.erase(existing);
        saveConfigurations();
        return ControlProtocol::success();
    }
    if (operation == "startTunnel") {
        const auto id = idArgument();
        const auto existing = id ? find(*id) : m_configurations.end();
        if (existing == m_configurations.end())
            return failure("No such proxy configuration.", ControlErrorKind::NotFound);
        if (!activationLocked().enabled)
            return failure("The network extension is not enabled.");
        if (!effective(*existing).enabled)
            return failure("The proxy configuration is not enabled.");
        if (m_runningId == *id)
            return ControlProtocol::success();
        if (!m_runningId.empty())
            return failure("Another proxy configuration is running.");
        m_status = SessionStatus::Connecting;
        m_runningId = *id;
        if (const auto error = m_tunnel.start(existing->plan)) {
            m_runningId.clear();
            m_status = SessionStatus::Disconnected;
            return failure(*error);
        }
        m_status = SessionStatus::Connected;
        return ControlProtocol::success();
    }
    if (operation == "stopTunnel") {
        const auto id = idArgument();
        if (!id || find(*id) == m_configurations.end())
            return failure("No such proxy configuration.", ControlErrorKind::NotFound);
        if (*id == m_runningId)
            stopLocked();
        return ControlProtocol::success();
    }
    if (operation == "status") {
        const auto id = idArgument();
        if (!id || find(*id) == m_configurations.end())
            return ControlProtocol::success(static_cast<int>(SessionStatus::Invalid));
        return ControlProtocol::success(
            static_cast<int>(*id == m_runningId ? m_status : SessionStatus::Disconnected));
    }
    if (operation == "sendMessage") {
        const auto id = idArgument();
        const auto message = request.find("message");
        if (message == request.end() || !message->is_string())
            return failure("The message carries no data.");
        if (!id || find(*id) == m_configurations.end())
            return failure("No such proxy configuration.", ControlErrorKind::NotFound);
        if (*id != m_runningId || !isRunning(m_status))
            return failure("The proxy is not running.");
        if (const auto error = m_tunnel.message(message->get<std::string>()))
            return failure(*error);
        return ControlProtocol::success();
    }

    if (operation == "approve" || operation == "allowProxy" || operation == "reset" ||
        operation == "overview") {
        if (!administrator)
            return failure("Only the administrator (root) may do this.", ControlErrorKind::Denied);
        if (operation == "approve") {
            m_stored.approved = true;
            saveActivation();
        } else if (operation == "allowProxy") {
            m_stored.proxyAllowed = true;
            saveActivation();
        } else if (operation == "reset") {
            stopLocked();
            m_stored = {};
            m_configurations.clear();
            saveActivation();
            saveConfigurations();
        }
        nlohmann::json configurations = nlohmann::json::array();
        for (const auto& configuration : m_configurations) {
            auto json = ControlProtocol::toJson(effective(configuration));
            json["status"] =
                static_cast<int>(configuration.id == m_runningId ? m_status : SessionStatus::Disconnected);
            configurations.push_back(std::move(json));
        }
        const auto undecided = m_tunnel.undecidedFlows();
        return ControlProtocol::success(
            {{"activation", ControlProtocol::toJson(activationLocked())},
             {"configurations", configurations},
             {"undecidedFlows", {{"held", undecided.held}, {"refused", undecided.refused}}}});
    }
    return failure("Unknown operation: " + operation);
}

std::string ControlService::newIdentifier() const {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::random_device random;
    for (;;) {
        std::string id;
        for (int index = 0; index < 16; ++index)
            id.push_back(digits[random() % 16]);
        if (std::none_of(m_configurations.begin(), m_configurations.end(),
                         [&](const ProxyConfiguration& configuration) { return configuration.id == id; }))
            return id;
    }
}

void ControlService::load() {
    if (const auto json = readJson(m_folder, activationFile); json && json->is_object()) {
        m_stored.activated = json->value("activated", false);
        m_stored.approved = json->value("approved", false);
        m_stored.proxyAllowed = json->value("proxyAllowed", false);
    }
    if (const auto json = readJson(m_folder, configurationsFile); json && json->is_array()) {
        for (const auto& item : *json)
            if (auto configuration = ControlProtocol::configurationFromJson(item);
                configuration && !configuration->id.empty() &&
                m_configurations.size() < maximumConfigurations)
                m_configurations.push_back(std::move(*configuration));
    }
}

void ControlService::saveActivation() const {
    const nlohmann::json json = {{"activated", m_stored.activated},
                                 {"approved", m_stored.approved},
                                 {"proxyAllowed", m_stored.proxyAllowed}};
    if (!writeJson(m_folder, activationFile, json))
        m_logger.error("Could not save the activation state in %{public}s", m_options.stateFolder.string());
}

void ControlService::saveConfigurations() const {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& configuration : m_configurations)
        list.push_back(ControlProtocol::toJson(configuration));
    if (!writeJson(m_folder, configurationsFile, list))
        m_logger.error("Could not save the proxy configurations in %{public}s",
                       m_options.stateFolder.string());
}

} // namespace quorvex
