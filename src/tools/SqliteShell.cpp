#include "tools/SqliteShell.h"

#include "tools/ToolPaths.h"
#include "tools/ToolRunner.h"

#include <string>
#include <vector>

namespace quorvex {

std::optional<QByteArray> runSqlite(const std::filesystem::path& database, const QStringList& statements,
                                    const QStringList& options) {
    // "-init /dev/null" replaces the rc file; the shell reads no other one.
    std::vector<std::string> arguments{"-init", "/dev/null"};
    for (const QString& option : options)
        arguments.push_back(option.toStdString());
    arguments.push_back(database.string());
    for (const QString& statement : statements)
        arguments.push_back(statement.toStdString());
    return runTool(ToolPaths::sqlite3(), arguments);
}

QString sqlEscaped(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\''), QStringLiteral("''"));
    return escaped;
}

} // namespace quorvex
