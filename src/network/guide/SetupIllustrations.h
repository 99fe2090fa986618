#pragma once

#include "network/guide/IllustrationSpec.h"

namespace quorvex {

class Clock;

/// The setup guide's real drawings: the intro, the extension approval, the proxy alert and the
/// done badge, each made from its spec's values and timed by `clock`, which must outlive them.
IllustrationFactory setupIllustrations(Clock& clock);

} // namespace quorvex
