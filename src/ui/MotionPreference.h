#pragma once

namespace quorvex {

/// Whether the user asked for still drawings instead of animations. Qt has no query for the
/// desktop's setting, so it comes from QUORVEX_REDUCE_MOTION (1/0, which wins when set) or else
/// the boolean setting "reduceMotion".
bool reduceMotionPreferred();

} // namespace quorvex
