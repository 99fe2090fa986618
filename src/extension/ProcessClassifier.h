#pragma once

#include "extension/ProcessToken.h"

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace quorvex {

/// Tells whether a flow's source process is an app running in a simulator: the executable path
/// of the process behind a token, kept only when it lies in a simulator's file tree
/// ("/CoreSimulator/"). Every answer, none included, is cached per token; the cache is emptied as
/// a whole once it holds more than `cacheLimit` entries, before the next answer is stored.
/// Thread-safe: the lock is held for the whole lookup, so two flows of one new process resolve
/// it once.
class ProcessClassifier final {
public:
    using PathLookup = std::function<std::optional<std::string>(const ProcessToken&)>;

    static constexpr std::size_t cacheLimit = 4096;

    /// `lookup` gives the executable path of a token; by default from /proc.
    explicit ProcessClassifier(PathLookup lookup = {});

    /// The simulator app's executable path of the process, or none (no token, not a simulator
    /// process, or gone before it could be read).
    std::optional<std::string> simulatorAppPath(const std::optional<ProcessToken>& token);

    /// The link table key of an app's path: its bundle folder (such as "Demo.app"), the second
    /// part after "/Containers/Bundle/Application/"; none when the marker or that part is missing.
    static std::optional<std::string> appKey(std::string_view path);

    std::size_t cacheSize() const;

private:
    PathLookup m_lookup;
    mutable std::mutex m_mutex;
    std::map<ProcessToken, std::optional<std::string>> m_cache;
};

} // namespace quorvex
