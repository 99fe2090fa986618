#pragma once

#include <filesystem>

class QSettings;

namespace quorvex {

/// The user's home folder, read from $HOME once and kept for the life of the process.
const std::filesystem::path& homeDirectoryURL();

/// The program-wide user defaults: a property-list settings file in the per-user configuration
/// folder, so stored Bools stay Bools. Created on first use; use it from the GUI thread.
QSettings& sharedDefaults();

/// True when the environment holds "XCTestConfigurationFilePath" (whatever its value).
bool isRunningTests();

} // namespace quorvex
