#pragma once

#include "simulator/SimulatorApp.h"
#include "simulator/Toast.h"
#include "support/ToastLog.h"
#include "tools/Environment.h"

#include <QMetaObject>
#include <QSettings>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace quorvex::test {

/// Points TMPDIR at a folder of its own for the life of the object, so a test can see every
/// temporary file the program leaves behind.
class ScopedTemporaryFolder final {
public:
    ScopedTemporaryFolder() {
        std::string pattern = (std::filesystem::path(std::getenv("HOME")) / "tmp-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data());
        if (const char* old = std::getenv("TMPDIR"))
            m_previous = old;
        ::setenv("TMPDIR", m_path.c_str(), 1);
    }
    ~ScopedTemporaryFolder() {
        if (m_previous.empty())
            ::unsetenv("TMPDIR");
        else
            ::setenv("TMPDIR", m_previous.c_str(), 1);
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScopedTemporaryFolder(const ScopedTemporaryFolder&) = delete;
    ScopedTemporaryFolder& operator=(const ScopedTemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_path))
            names.push_back(entry.path().filename().string());
        return names;
    }

private:
    std::filesystem::path m_path;
    std::string m_previous;
};

inline void clearStores() {
    for (const char* key : {"actionPresets", "actionHistory", "permissionActions"})
        sharedDefaults().remove(QString::fromLatin1(key));
}

/// An app record as the inventory gives it, on the simulators given as (udid, name) pairs.
inline SimulatorApp demoApp(const std::vector<std::pair<QString, QString>>& simulators,
                            const QString& bundleID = QStringLiteral("com.example.demo")) {
    SimulatorApp app;
    app.id = bundleID;
    app.name = QStringLiteral("Demo");
    app.bundleFolder = QStringLiteral("Demo.app");
    for (const auto& [udid, name] : simulators) {
        app.devices.append(udid);
        SimulatorInstall install;
        install.udid = udid;
        install.deviceName = name;
        app.installs.push_back(install);
    }
    return app;
}

} // namespace quorvex::test
