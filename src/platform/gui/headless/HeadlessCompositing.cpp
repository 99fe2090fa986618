#include "platform/gui/Compositing.h"

namespace quorvex {

// Without X11 the program runs on Wayland or offscreen, which always blend.
bool desktopBlendsTranslucentWindows() {
    return true;
}

} // namespace quorvex
