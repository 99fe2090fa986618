#include "storage/files/FileError.h"

#include <QFile>

#include <cerrno>

namespace quorvex {

FileError::FileError(std::error_code code, QString verb, std::filesystem::path path)
    : std::system_error(code, "“" + path.filename().string() + "” couldn’t be " + verb.toStdString())
    , m_verb(std::move(verb))
    , m_path(std::move(path)) {}

QString FileError::description() const {
    const QString name = QFile::decodeName(m_path.filename().c_str());
    return QStringLiteral("“%1” couldn’t be %2: %3")
        .arg(name, m_verb, QString::fromLocal8Bit(code().message().c_str()));
}

FileError FileError::writeNoPermission(const std::filesystem::path& path) {
    return FileError(std::error_code(EACCES, std::generic_category()), QStringLiteral("removed"), path);
}

} // namespace quorvex
