// Picks the hot-key backend for this session in a build with X11.
#include "platform/GlobalHotKeys.h"

#include "platform/headless/HeadlessGlobalHotKeys.h"
#include "platform/x11/X11GlobalHotKeys.h"

#include <QtGlobal>

namespace quorvex {

std::unique_ptr<GlobalHotKeys> GlobalHotKeys::create() {
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
        if (auto x11 = X11GlobalHotKeys::connect())
            return x11;
    }
    return std::make_unique<HeadlessGlobalHotKeys>();
}

} // namespace quorvex
