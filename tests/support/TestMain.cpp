// The test main of every test executable: a fresh temporary HOME per process (so settings,
// fixtures and the program's home folder are the test's own), Qt's offscreen platform unless a
// test asks for another, and a QApplication for widget tests.
#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    std::string home = (std::filesystem::temp_directory_path() / "quorvex-test-home-XXXXXX").string();
    if (!::mkdtemp(home.data()))
        return 2;
    ::setenv("HOME", home.c_str(), 1);
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR",
                                 "XCTestConfigurationFilePath", "QUORVEX_XCRUN", "QUORVEX_SQLITE3"})
        ::unsetenv(variable);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // No real Xcode tool may ever run from a test: until a test installs the fake with its own
    // rules, xcrun points at a path that does not exist.
    ::setenv("QUORVEX_XCRUN", (home + "/no-xcrun").c_str(), 1);

    int result = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    return result;
}
