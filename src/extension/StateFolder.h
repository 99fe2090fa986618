#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quorvex {

/// The daemon's state folder, opened once and held for the daemon's life. It is made (mode 0700)
/// without following a symbolic link, and refused when it is not a directory or belongs to another
/// user; it is locked, so a second daemon cannot share it. Files are read and replaced through
/// the folder's descriptor, so a link put in place of the path later changes nothing.
class StateFolder final {
public:
    /// Opens, checks and locks the folder. Throws std::system_error with the reason.
    explicit StateFolder(std::filesystem::path path);
    ~StateFolder();
    StateFolder(const StateFolder&) = delete;
    StateFolder& operator=(const StateFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }

    /// The whole of a file of the folder; none when it is missing, a link, or larger than
    /// `maximumFileBytes`.
    std::optional<std::string> read(const std::string& name) const;
    /// Replaces a file of the folder as a whole: a crash mid-write leaves the previous one.
    bool write(const std::string& name, std::string_view bytes) const;

    static constexpr std::size_t maximumFileBytes = 16 * 1024 * 1024;
    static constexpr const char* lockName = "daemon.lock";

private:
    std::filesystem::path m_path;
    int m_folder = -1;
    int m_lock = -1;
};

} // namespace quorvex
