#pragma once

#include "tools/ToolRunner.h"

#include <QByteArray>
#include <QString>

#include <nlohmann/json.hpp>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// Shared by the devicectl wrappers of this library; not for other libraries.
namespace quorvex::devicectl {

/// Copies of a whole data container can take long over a slow link; cutting one off halfway
/// would leave a container half restored, so copies get hours, not the runner's minute.
inline constexpr std::chrono::milliseconds kCopyTimeout = std::chrono::hours(6);

/// Runs `xcrun devicectl <arguments>` and gives its output on exit status 0. Arguments are bytes,
/// so a path reaches the tool exactly as the file system spells it. Copies pass kCopyTimeout:
/// a copy cut off midway leaves a half-written container.
std::optional<QByteArray> run(std::vector<std::string> arguments,
                              std::chrono::milliseconds timeout = kDefaultToolTimeout);

/// result.<key> of a devicectl JSON answer, when it is an array whose elements are all objects.
/// Invalid JSON or any other shape gives nothing: one odd element voids the whole list, so a
/// changed output format is never half read.
std::optional<nlohmann::json> resultObjects(const QByteArray& output, const char* key);

/// The text at `key` of an object, when it is text.
std::optional<QString> text(const nlohmann::json& object, const char* key);

/// The object at `key`, or an empty object when it is missing or not an object.
const nlohmann::json& object(const nlohmann::json& parent, const char* key);

} // namespace quorvex::devicectl
