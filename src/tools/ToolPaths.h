#pragma once

#include <string>

namespace quorvex {

/// Paths of the outside tools. Each defaults to its fixed location and can be replaced through an
/// environment variable (QUORVEX_XCRUN, QUORVEX_SQLITE3, QUORVEX_XCODE_SELECT, QUORVEX_QLMANAGE),
/// which is how tests and the demo substitute the fake tools. Read on every call so a test can
/// switch them.
struct ToolPaths {
    static std::string xcrun();
    static std::string sqlite3();
    static std::string xcodeSelect();
    static std::string qlmanage();
};

} // namespace quorvex
