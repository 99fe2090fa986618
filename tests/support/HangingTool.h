#pragma once

#include "tools/ToolRunner.h"

#include <QFile>
#include <QString>
#include <QTest>

namespace quorvex::test {

/// A tool that hangs for a minute, as a simulator that stopped answering does. It touches
/// `marker` once it runs, so a test can wait for it to have started (`waitUntilStarted`).
/// Blocks; any thread.
inline bool runHangingTool(const QString& marker) {
    return runTool("/bin/sh", {QStringLiteral("-c"), QStringLiteral("echo > '%1'; sleep 60").arg(marker)})
        .has_value();
}

inline bool waitUntilStarted(const QString& marker) {
    return QTest::qWaitFor([&] { return QFile::exists(marker); }, 5000);
}

} // namespace quorvex::test
