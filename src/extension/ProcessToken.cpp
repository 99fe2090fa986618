#include "extension/ProcessToken.h"

#include "extension/ProcFile.h"

#include <sys/stat.h>

#include <cerrno>

#include <sstream>

namespace quorvex {

std::optional<unsigned long long> ProcessToken::startTimeFromStat(const std::string& stat) {
    // The command name (field 2) is in parentheses and may hold spaces and ")"; fields after the
    // last ")" are plain. Start time is field 22, the 20th after the name.
    const auto close = stat.rfind(')');
    if (close == std::string::npos)
        return std::nullopt;
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    for (int index = 3; index <= 22; ++index)
        if (!(fields >> field))
            return std::nullopt;
    try {
        std::size_t used = 0;
        const unsigned long long value = std::stoull(field, &used);
        if (used != field.size())
            return std::nullopt;
        return value;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<ProcessToken> ProcessToken::of(pid_t pid, const std::filesystem::path& procRoot) {
    if (pid <= 0)
        return std::nullopt;
    const auto line = readProcFile(procRoot / std::to_string(pid) / "stat");
    if (!line)
        return std::nullopt;
    const auto start = startTimeFromStat(*line);
    if (!start)
        return std::nullopt;
    const auto [device, inode] = executableIdentity(pid, procRoot);
    return ProcessToken{pid, *start, device, inode};
}

std::pair<std::uint64_t, std::uint64_t>
ProcessToken::executableIdentity(pid_t pid, const std::filesystem::path& procRoot) {
    struct stat executable {};
    if (::stat((procRoot / std::to_string(pid) / "exe").c_str(), &executable) != 0) {
        const int error = errno;
        ResourceShortage::check(error, "cannot look at the executable of process " + std::to_string(pid));
        return {0, 0};
    }
    return {static_cast<std::uint64_t>(executable.st_dev), static_cast<std::uint64_t>(executable.st_ino)};
}

std::optional<std::string> ProcessToken::executablePath(const std::filesystem::path& procRoot) const {
    std::error_code error;
    auto path = std::filesystem::read_symlink(procRoot / std::to_string(pid) / "exe", error);
    if (error)
        return std::nullopt;
    // Read the token again after the link: if the pid now names another process, or another
    // program since an exec, the path may be that one's.
    const auto again = of(pid, procRoot);
    if (!again || *again != *this)
        return std::nullopt;
    std::string text = path.string();
    // An executable replaced or deleted after the start reads "<path> (deleted)"; it still tells
    // where the process came from.
    constexpr std::string_view deleted = " (deleted)";
    if (text.size() > deleted.size() &&
        text.compare(text.size() - deleted.size(), deleted.size(), deleted) == 0)
        text.resize(text.size() - deleted.size());
    return text;
}

} // namespace quorvex
