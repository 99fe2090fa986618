#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <filesystem>

namespace quorvex {

/// A path's bytes as text for display and Qt APIs, decoded the way Qt decodes file names.
inline QString pathText(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

/// Text naming a file (from a Qt API or a setting) as the path whose bytes the file system uses.
inline std::filesystem::path textPath(const QString& text) {
    return QFile::encodeName(text).toStdString();
}

} // namespace quorvex
