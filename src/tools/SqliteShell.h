#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <optional>

namespace quorvex {

/// Runs the SQLite shell (ToolPaths::sqlite3()) on one database: the options, the database path,
/// then each statement as its own argument. Every sqlite3 call of the program goes through here,
/// because the shell otherwise reads the user's ~/.sqliterc first, and a ".mode box" or
/// ".headers on" there changes the output that callers parse. Returns the shell's standard
/// output when it exits with status 0.
std::optional<QByteArray> runSqlite(const std::filesystem::path& database, const QStringList& statements,
                                    const QStringList& options = {});

/// The text with every single quote doubled, for use inside an SQL string literal ('...').
QString sqlEscaped(const QString& text);

} // namespace quorvex
