// The forwarding front's command line: every bad input is refused before anything listens, with
// the option named.
#include "extension/SystemCommand.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace quorvex {
namespace {

TEST(ForwardCommand, RefusesBadInputNamingTheOption) {
    const std::string plan =
        (std::filesystem::temp_directory_path() / "quorvex-forward-big-plan.json").string();
    std::ofstream(plan) << std::string(1024 * 1024 + 1, ' ');
    const struct {
        std::vector<std::string> arguments;
        const char* message;
    } cases[] = {
        {{"--target", "127.0.0.1:9", "--phase-scale", "nan"}, "--phase-scale needs a number above 0"},
        {{"--target", "127.0.0.1:9", "--phase-scale", "inf"}, "--phase-scale needs a number above 0"},
        {{"--target", "127.0.0.1:9", "--phase-scale", "-1"}, "--phase-scale needs a number above 0"},
        {{"--target", "127.0.0.1:port"}, "--target port needs a whole number"},
        {{"--target", "127.0.0.1:70000"}, "--target: bad port"},
        {{"--target", "127.0.0.1:9", "--listen", "127.0.0.1:-5"}, "--listen port needs a whole number"},
        {{"--target", "127.0.0.1:9", "--tcp-only", "--udp-only"}, "exclude each other"},
        {{"--target", "127.0.0.1:9", "--plan", "@" + plan}, "larger than 1 MiB"},
        {{"--target", "127.0.0.1:9", "--udp-idle", "0"}, "--udp-idle needs a number above 0"},
    };
    for (const auto& item : cases) {
        std::vector<std::string> command = {QUORVEX_FORWARD};
        command.insert(command.end(), item.arguments.begin(), item.arguments.end());
        const auto result = SystemCommand::run(command);
        EXPECT_EQ(result.status, 2) << item.message;
        EXPECT_NE(result.output.find(item.message), std::string::npos) << result.output;
        EXPECT_EQ(result.output.find("ready\n"), std::string::npos) << result.output;
    }
    std::filesystem::remove(plan);
}

} // namespace
} // namespace quorvex
