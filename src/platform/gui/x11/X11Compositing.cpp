#include "platform/gui/Compositing.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstring>

namespace quorvex {

bool desktopBlendsTranslucentWindows() {
    // Other platforms (Wayland, offscreen) always blend.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return true;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return true;
    // A compositing manager owns the selection _NET_WM_CM_S<screen> while it runs.
    static constexpr const char* kSelection = "_NET_WM_CM_S0";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(kSelection)), kSelection), nullptr);
    if (!atom)
        return true;
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
    const bool composited = owner && owner->owner != XCB_NONE;
    std::free(owner);
    std::free(atom);
    return composited;
}

} // namespace quorvex
