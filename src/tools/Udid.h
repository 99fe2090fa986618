#pragma once

#include <QString>

namespace quorvex {

/// True when `udid` can name one folder under CoreSimulator/Devices/: not empty, not "." or
/// "..", no "/" and no NUL. Every path built from a UDID passes through this first, so a hostile
/// or damaged UDID cannot step out of the devices folder.
bool isPlainUdid(const QString& udid);

} // namespace quorvex
