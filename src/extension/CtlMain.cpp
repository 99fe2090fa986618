// quorvexctl: the administrator's command for the network extension daemon, in place of the
// system's settings and its proxy-permission alert.
#include "network/control/ControlProtocol.h"
#include "network/control/SocketExtensionControl.h"

#include <cstdio>
#include <string>
#include <string_view>

using namespace quorvex;

namespace {

void usage() {
    std::fprintf(stderr, "usage: quorvexctl [--socket PATH] approve | allow-proxy | status | reset\n"
                         "  approve      approve the network extension (its activation can complete)\n"
                         "  allow-proxy  allow the app's proxy configurations\n"
                         "  status       show the activation state and the proxy configurations\n"
                         "  reset        stop the proxy, forget approvals and remove every configuration\n");
}

// Text another user wrote (a configuration's description) must not drive root's terminal: control
// characters, C1 controls included, are shown as \xNN escapes, and so is a backslash's own code.
std::string printable(std::string_view text) {
    std::string shown;
    for (std::size_t index = 0; index < text.size(); ++index) {
        const auto byte = static_cast<unsigned char>(text[index]);
        const bool c1 = byte == 0xc2 && index + 1 < text.size() &&
                        static_cast<unsigned char>(text[index + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[index + 1]) <= 0x9f;
        if (byte < 0x20 || byte == 0x7f || byte == '\\' || c1) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x",
                          c1 ? static_cast<unsigned char>(text[++index]) : byte);
            shown += escaped;
        } else {
            shown += static_cast<char>(byte);
        }
    }
    return shown;
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
        std::fprintf(stderr, "quorvexctl: %s\n", printable(reply.error()).c_str());
        if (reply.errorKind() == ControlErrorKind::Denied)
            std::fprintf(
                stderr,
                "quorvexctl: its commands are the administrator's: run it as root (sudo quorvexctl %s).\n",
                command.c_str());
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
        std::printf("configuration %s \"%s\": %s, %s, %s\n", printable(configuration->id).c_str(),
                    printable(configuration->localizedDescription).c_str(),
                    configuration->enabled ? "enabled" : "not enabled", statusName(item.value("status", 0)),
                    configuration->plan ? "with plan" : "no plan");
    }
    if (const auto undecided = overview.find("undecidedFlows");
        undecided != overview.end() && undecided->is_object())
        std::printf(
            "flows the daemon could not decide or relay (out of descriptors): %llu waited, %llu refused\n",
            undecided->value("held", 0ULL), undecided->value("refused", 0ULL));
    return 0;
}
