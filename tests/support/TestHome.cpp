#include "support/TestHome.h"

#include <cstdlib>
#include <filesystem>

namespace quorvex::test {

TestHome::TestHome() {
    std::string home = (std::filesystem::temp_directory_path() / "quorvex-test-home-XXXXXX").string();
    if (!::mkdtemp(home.data()))
        return;
    m_path = home;
    ::setenv("HOME", home.c_str(), 1);
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR",
                                 "XCTestConfigurationFilePath", "QUORVEX_XCRUN", "QUORVEX_SQLITE3"})
        ::unsetenv(variable);
    ::setenv("QUORVEX_XCRUN", (home + "/no-xcrun").c_str(), 1);
}

TestHome::~TestHome() {
    if (m_path.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

} // namespace quorvex::test
