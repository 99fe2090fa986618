#include "platform/data/LogLevel.h"

#include <gtest/gtest.h>

#include <QLoggingCategory>

using namespace quorvex;

namespace {

Q_LOGGING_CATEGORY(probeLog, "quorvex.probe", QtInfoMsg)

} // namespace

TEST(LogLevelTest, LevelTurnsTheProgramsCategoriesOnDownToIt) {
    struct Case {
        const char* level;
        bool debug, info, warning;
    };
    const Case cases[] = {
        {"debug", true, true, true},       {"INFO", false, true, true},
        {" warning ", false, false, true}, {"critical", false, false, false},
        {"verbose", false, false, false}, // unknown: unchanged
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        applyLogLevel(QStringLiteral("critical"));
        applyLogLevel(QString::fromLatin1(c.level));
        EXPECT_EQ(probeLog().isDebugEnabled(), c.debug);
        EXPECT_EQ(probeLog().isInfoEnabled(), c.info);
        EXPECT_EQ(probeLog().isWarningEnabled(), c.warning);
        EXPECT_TRUE(probeLog().isCriticalEnabled());
        // Other programs' categories are left alone.
        EXPECT_FALSE(QLoggingCategory("qt.probe").isDebugEnabled());
    }
    QLoggingCategory::setFilterRules(QString());
}
