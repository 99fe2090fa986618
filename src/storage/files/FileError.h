#pragma once

#include <QString>

#include <filesystem>
#include <system_error>

namespace quorvex {

/// A failed file operation: what was attempted, on which item, and the system's reason. Its
/// description is the text the user sees inside messages such as "Couldn’t restore (…)".
class FileError : public std::system_error {
public:
    /// `verb` completes "couldn’t be …": "removed", "moved", "copied", "created", "read".
    FileError(std::error_code code, QString verb, std::filesystem::path path);

    const std::filesystem::path& path() const { return m_path; }
    /// "“Documents” couldn’t be moved: No space left on device"
    QString description() const;

    /// The refusal of a deletion outside the allowed places (a write without permission).
    static FileError writeNoPermission(const std::filesystem::path& path);

private:
    QString m_verb;
    std::filesystem::path m_path;
};

} // namespace quorvex
