// quorvexctl: the administrator's command for the network extension daemon, in place of the
// system's settings and its proxy-permission alert.
#include "network/control/ControlProtocol.h"
#include "network/control/SocketExtensionControl.h"

#include <cstdio>
#include <string>

using namespace quorvex;

namespace {

void usage() {
    std::fprintf(stderr, "usage: quorvexctl [--socket PATH] approve | allow-proxy | status | reset\n"
                         "  approve      approve the network extension (its activation can complete)\n"
                         "  allow-proxy  allow the app's proxy configurations\n"
                         "  status       show the activation state and the proxy configurations\n"
                         "  reset        stop the proxy, forget approvals and remove every configuration\n");
}

const char* statusName(int status) {
    static const char* const names[] = {"invalid",   "disconnected", "connecting",
                                        "connected", "reasserting",  "disconnecting"};
    return status >= 0 && status <= 5 ? names[status] : "unknown";
}

} // namespace

int main(int argc, char** argv) {
    std::string socketPath;
    std::string command;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--socket" && i + 1 < argc)
            socketPath = argv[++i];
        else if (argument == "--help" || argument == "-h") {
            usage();
            return 0;
        } else if (command.empty() && argument.rfind("-", 0) != 0)
            command = argument;
        else {
            std::fprintf(stderr, "quorvexctl: unexpected argument %s\n", argument.c_str());
            usage();
            return 2;
        }
    }
    const char* operation = command == "approve"       ? "approve"
                            : command == "allow-proxy" ? "allowProxy"
                            : command == "status"      ? "overview"
                            : command == "reset"       ? "reset"
                                                       : nullptr;
    if (!operation) {
        usage();
        return 2;
    }
    SocketExtensionControl control(socketPath);
    const auto reply = control.call({{"operation", operation}});
    if (!reply) {
        std::fprintf(stderr, "quorvexctl: %s\n", reply.error().c_str());
        return 1;
    }
    const auto& overview = reply.value();
    const auto activation =
        ControlProtocol::activationFromJson(overview.value("activation", nlohmann::json()));
    if (activation) {
        std::printf("extension %s: %s\n", extensionIdentifier,
                    activation->enabled            ? "enabled"
                    : activation->awaitingApproval ? "awaiting approval"
                    : activation->approved         ? "approved, not activated"
                                                   : "not activated");
        std::printf("proxy configurations: %s\n", activation->proxyAllowed ? "allowed" : "not allowed");
    }
    for (const auto& item : overview.value("configurations", nlohmann::json::array())) {
        const auto configuration = ControlProtocol::configurationFromJson(item);
        if (!configuration)
            continue;
        std::printf("configuration %s \"%s\": %s, %s, %s\n", configuration->id.c_str(),
                    configuration->localizedDescription.c_str(),
                    configuration->enabled ? "enabled" : "not enabled", statusName(item.value("status", 0)),
                    configuration->plan ? "with plan" : "no plan");
    }
    return 0;
}
