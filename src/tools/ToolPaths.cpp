#include "tools/ToolPaths.h"

#include <cstdlib>

namespace quorvex {
namespace {

std::string fromEnvironment(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    return value && *value ? std::string(value) : std::string(fallback);
}

} // namespace

std::string ToolPaths::xcrun() {
    return fromEnvironment("QUORVEX_XCRUN", "/usr/bin/xcrun");
}
std::string ToolPaths::sqlite3() {
    return fromEnvironment("QUORVEX_SQLITE3", "/usr/bin/sqlite3");
}
std::string ToolPaths::xcodeSelect() {
    return fromEnvironment("QUORVEX_XCODE_SELECT", "/usr/bin/xcode-select");
}
std::string ToolPaths::qlmanage() {
    return fromEnvironment("QUORVEX_QLMANAGE", "/usr/bin/qlmanage");
}

} // namespace quorvex
