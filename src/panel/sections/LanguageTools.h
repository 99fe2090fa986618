#pragma once

#include "simulator/DeviceTools.h"

#include <QString>

namespace quorvex {

/// The simulator commands behind the panel's language card. Every call blocks until its tool has
/// ended and is made off the GUI thread; an implementation must allow calls from several threads.
class LanguageTools {
public:
    virtual ~LanguageTools() = default;

    /// The simulator's first global language and its locale's region, each absent when unreadable.
    virtual DeviceTools::LanguageAndRegion languageAndRegion(const QString& udid) = 0;
    /// Writes both into the simulator's global defaults; true only when both writes succeeded.
    virtual bool setLanguageAndRegion(const QString& language, const QString& region,
                                      const QString& udid) = 0;
    virtual bool terminateApp(const QString& bundleID, const QString& udid) = 0;
    virtual bool launchApp(const QString& bundleID, const QString& udid) = 0;

    /// The process-wide implementation over simctl.
    static LanguageTools& simulator();
};

} // namespace quorvex
