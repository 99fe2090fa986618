#include "extension/ProcessClassifier.h"

namespace quorvex {

ProcessClassifier::ProcessClassifier(PathLookup lookup)
    : m_lookup(lookup ? std::move(lookup)
                      : [](const ProcessToken& token) { return token.executablePath(); }) {}

std::optional<std::string> ProcessClassifier::simulatorAppPath(const std::optional<ProcessToken>& token) {
    if (!token)
        return std::nullopt;
    const std::lock_guard lock(m_mutex);
    if (const auto cached = m_cache.find(*token); cached != m_cache.end())
        return cached->second;
    auto path = m_lookup(*token);
    if (path && path->find("/CoreSimulator/") == std::string::npos)
        path.reset();
    if (m_cache.size() > cacheLimit)
        m_cache.clear();
    m_cache.emplace(*token, path);
    return path;
}

std::optional<std::string> ProcessClassifier::appKey(std::string_view path) {
    constexpr std::string_view marker = "/Containers/Bundle/Application/";
    const auto found = path.find(marker);
    if (found == std::string_view::npos)
        return std::nullopt;
    std::string_view rest = path.substr(found + marker.size());
    int index = 0;
    while (!rest.empty()) {
        const auto slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        if (!part.empty() && ++index == 2)
            return std::string(part);
        if (slash == std::string_view::npos)
            break;
        rest.remove_prefix(slash + 1);
    }
    return std::nullopt;
}

std::size_t ProcessClassifier::cacheSize() const {
    const std::lock_guard lock(m_mutex);
    return m_cache.size();
}

} // namespace quorvex
