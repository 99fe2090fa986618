// Picks the hot-key and window-system backends in a build without X11 (QUORVEX_WITH_X11=OFF):
// there are no others.
#include "platform/gui/GlobalHotKeys.h"

#include "platform/gui/WindowSystem.h"
#include "platform/gui/headless/HeadlessGlobalHotKeys.h"
#include "platform/gui/headless/HeadlessWindowSystem.h"

namespace quorvex {

std::unique_ptr<GlobalHotKeys> GlobalHotKeys::create() {
    return std::make_unique<HeadlessGlobalHotKeys>();
}

std::unique_ptr<WindowSystem> WindowSystem::create() {
    return std::make_unique<HeadlessWindowSystem>();
}

} // namespace quorvex
