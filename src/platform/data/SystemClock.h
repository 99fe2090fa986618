#pragma once

#include "platform/core/Clock.h"

namespace quorvex {

/// The real clock: steady time and QTimer single shots, on the thread that calls schedule().
/// Kept apart from Clock.h so the Qt-free libraries can take a Clock without linking Qt.
Clock& systemClock();

} // namespace quorvex
