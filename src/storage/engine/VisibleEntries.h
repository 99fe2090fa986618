#pragma once

#include <QString>
#include <QVariantMap>

#include <filesystem>
#include <vector>

namespace quorvex {

/// The entries of `folder` whose names do not start with "."; empty when the folder cannot be read.
/// The scanners list the folders they know this way: a hidden entry is never offered for cleaning.
std::vector<std::filesystem::path> visibleEntries(const std::filesystem::path& folder);

/// The dictionary of the property list at `path`, opened by its exact bytes; empty when the file
/// cannot be read or holds no dictionary.
QVariantMap propertyListAt(const std::filesystem::path& path);

/// The last component of `path` as display text.
QString fileNameText(const std::filesystem::path& path);

} // namespace quorvex
