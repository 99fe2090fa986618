// The one place that picks the window-system backend for this session.
#include "platform/WindowSystem.h"

#include "platform/headless/HeadlessWindowSystem.h"
#include "platform/x11/X11WindowSystem.h"

namespace quorvex {

std::unique_ptr<WindowSystem> WindowSystem::create() {
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
        if (auto x11 = X11WindowSystem::connect())
            return x11;
    }
    return std::make_unique<HeadlessWindowSystem>();
}

} // namespace quorvex
