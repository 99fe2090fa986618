#include "extension/ProcessToken.h"

#include <fstream>
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
    std::ifstream file(procRoot / std::to_string(pid) / "stat");
    std::string line;
    if (!std::getline(file, line))
        return std::nullopt;
    const auto start = startTimeFromStat(line);
    if (!start)
        return std::nullopt;
    return ProcessToken{pid, *start};
}

std::optional<std::string> ProcessToken::executablePath(const std::filesystem::path& procRoot) const {
    std::error_code error;
    auto path = std::filesystem::read_symlink(procRoot / std::to_string(pid) / "exe", error);
    if (error)
        return std::nullopt;
    // Read the start time again after the link: if the pid now names another process, the path
    // may be that one's.
    const auto again = of(pid, procRoot);
    if (!again || again->startTime != startTime)
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
