// Picks the hot-key and window-system backends for this session in a build with X11.
#include "platform/gui/GlobalHotKeys.h"

#include "platform/gui/WindowSystem.h"
#include "platform/gui/headless/HeadlessGlobalHotKeys.h"
#include "platform/gui/headless/HeadlessWindowSystem.h"
#include "platform/gui/x11/X11GlobalHotKeys.h"
#include "platform/gui/x11/X11WindowSystem.h"

#include <QGuiApplication>
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
    // Qt's platform tells the desktop apart: on Wayland an X server may answer too (XWayland), but
    // it shows only the windows of X programs, and the panel could never be placed.
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb")) {
        if (auto x11 = X11WindowSystem::connect())
            return x11;
    }
    if (platform.startsWith(QLatin1String("wayland")))
        return std::make_unique<HeadlessWindowSystem>(HeadlessWindowSystem::kWayland);
    return std::make_unique<HeadlessWindowSystem>();
}

} // namespace quorvex
