// Picks the hot-key and window-system backends for this session in a build with X11.
#include "platform/gui/GlobalHotKeys.h"

#include "platform/gui/WindowSystem.h"
#include "platform/gui/headless/HeadlessGlobalHotKeys.h"
#include "platform/gui/headless/HeadlessWindowSystem.h"
#include "platform/gui/x11/X11GlobalHotKeys.h"
#include "platform/gui/x11/X11WindowSystem.h"

#include <QtGlobal>

namespace quorvex {

std::unique_ptr<GlobalHotKeys> GlobalHotKeys::create() {
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
        if (auto x11 = X11GlobalHotKeys::connect())
            return x11;
    }
    return std::make_unique<HeadlessGlobalHotKeys>();
}

std::unique_ptr<WindowSystem> WindowSystem::create() {
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
        if (auto x11 = X11WindowSystem::connect())
            return x11;
    }
    return std::make_unique<HeadlessWindowSystem>();
}

} // namespace quorvex
