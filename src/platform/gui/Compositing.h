#pragma once

namespace quorvex {

/// Whether the desktop blends see-through windows over what lies behind them. On X11 that takes
/// a compositing manager; without one the see-through parts of a window show as black, so a
/// window with a soft shadow should cut itself to its opaque shape instead.
bool desktopBlendsTranslucentWindows();

} // namespace quorvex
