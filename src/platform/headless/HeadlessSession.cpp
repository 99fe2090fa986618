// Picks the hot-key backend in a build without X11 (QUORVEX_WITH_X11=OFF): there is no other.
#include "platform/GlobalHotKeys.h"

#include "platform/headless/HeadlessGlobalHotKeys.h"

namespace quorvex {

std::unique_ptr<GlobalHotKeys> GlobalHotKeys::create() {
    return std::make_unique<HeadlessGlobalHotKeys>();
}

} // namespace quorvex
