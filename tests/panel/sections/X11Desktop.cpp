#include "panel/sections/X11Desktop.h"

#include <QThread>

#include <xcb/randr.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xcbext.h>
#include <xcb/xtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace quorvex::test {

X11Desktop::X11Desktop(const std::string& display)
    : m_display(display) {
    m_connection = xcb_connect(display.c_str(), nullptr);
    m_screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
    xcb_ewmh_init_atoms_replies(&m_ewmh, xcb_ewmh_init_atoms(m_connection, &m_ewmh), nullptr);
}

X11Desktop::~X11Desktop() {
    if (m_windowManager > 0) {
        ::kill(m_windowManager, SIGTERM);
        int status = 0;
        ::waitpid(m_windowManager, &status, 0);
    }
    xcb_ewmh_connection_wipe(&m_ewmh);
    xcb_disconnect(m_connection);
}

bool X11Desktop::startWindowManager() {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        if (std::string(*e).rfind("DISPLAY=", 0) != 0)
            env.emplace_back(*e);
    }
    env.push_back("DISPLAY=" + m_display);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = "openbox", option = "--sm-disable";
    char* argv[] = {program.data(), option.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", 1, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 1, 0);
    const int spawned = ::posix_spawnp(&m_windowManager, "openbox", &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        m_windowManager = -1;
        return false;
    }
    for (int i = 0; i < 200; ++i) {
        if (hasWindowManager())
            return true;
        QThread::msleep(50);
    }
    return false;
}

bool X11Desktop::hasWindowManager() {
    xcb_window_t check = 0;
    return xcb_ewmh_get_supporting_wm_check_reply(
               &m_ewmh, xcb_ewmh_get_supporting_wm_check(&m_ewmh, m_screen->root), &check, nullptr) &&
           check != 0;
}

bool X11Desktop::setMonitors(const std::vector<QRect>& monitors) {
    std::free(
        xcb_randr_query_version_reply(m_connection, xcb_randr_query_version(m_connection, 1, 5), nullptr));
    xcb_randr_get_screen_resources_current_reply_t* resources = xcb_randr_get_screen_resources_current_reply(
        m_connection, xcb_randr_get_screen_resources_current(m_connection, m_screen->root), nullptr);
    if (!resources || resources->num_outputs < 1) {
        std::free(resources);
        return false;
    }
    const xcb_randr_output_t output = xcb_randr_get_screen_resources_current_outputs(resources)[0];
    std::free(resources);
    for (size_t i = 0; i < monitors.size(); ++i) {
        const QByteArray name = "monitor-" + QByteArray::number(qulonglong(i));
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, uint16_t(name.size()), name.constData()), nullptr);
        if (!atom)
            return false;
        // Written out by hand: libxcb's own RRSetMonitor computes a request length the server
        // refuses, and the connection is closed.
        struct __attribute__((packed)) {
            uint8_t extension;
            uint8_t opcode;
            uint16_t length;
            xcb_window_t window;
            xcb_randr_monitor_info_t info;
            xcb_randr_output_t output;
        } request;
        std::memset(&request, 0, sizeof request);
        request.window = m_screen->root;
        request.info.name = atom->atom;
        std::free(atom);
        const QRect& m = monitors[i];
        request.info.primary = i == 0;
        request.info.nOutput = i == 0 ? 1 : 0; // the output's own monitor gives way to the first
        request.info.x = int16_t(m.x());
        request.info.y = int16_t(m.y());
        request.info.width = uint16_t(m.width());
        request.info.height = uint16_t(m.height());
        request.info.width_in_millimeters = uint32_t(m.width() / 4);
        request.info.height_in_millimeters = uint32_t(m.height() / 4);
        request.output = output;
        iovec part{&request, sizeof request - (i == 0 ? 0 : sizeof(xcb_randr_output_t))};
        xcb_protocol_request_t protocol{1, &xcb_randr_id, XCB_RANDR_SET_MONITOR, 1};
        const xcb_void_cookie_t cookie{xcb_send_request(m_connection, XCB_REQUEST_CHECKED, &part, &protocol)};
        xcb_generic_error_t* error = xcb_request_check(m_connection, cookie);
        std::free(error);
        if (error || xcb_connection_has_error(m_connection))
            return false;
    }
    return true;
}

xcb_window_t X11Desktop::createWindow(const QString& windowClass, const QString& title, qint64 pid,
                                      QRect geometry, uint32_t colour) {
    const xcb_window_t window = xcb_generate_id(m_connection);
    const uint32_t values[] = {colour, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, m_screen->root, int16_t(geometry.x()),
                      int16_t(geometry.y()), uint16_t(geometry.width()), uint16_t(geometry.height()), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, m_screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    const QByteArray klass = windowClass.toLower().toUtf8() + '\0' + windowClass.toUtf8() + '\0';
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        uint32_t(klass.size()), klass.constData());
    const QByteArray name = title.toUtf8();
    xcb_ewmh_set_wm_name(&m_ewmh, window, uint32_t(name.size()), name.constData());
    xcb_ewmh_set_wm_pid(&m_ewmh, window, uint32_t(pid));
    // Program-specified position, so a window manager keeps it.
    const uint32_t hints[18] = {(1u << 2) | (1u << 3), 0, 0, 0, 0};
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NORMAL_HINTS,
                        XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
    xcb_map_window(m_connection, window);
    sync();
    return window;
}

void X11Desktop::move(xcb_window_t window, int x, int y) {
    if (hasWindowManager()) {
        xcb_ewmh_request_moveresize_window(&m_ewmh, 0, window, XCB_GRAVITY_STATIC,
                                           XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER,
                                           xcb_ewmh_moveresize_window_opt_flags_t(
                                               XCB_EWMH_MOVERESIZE_WINDOW_X | XCB_EWMH_MOVERESIZE_WINDOW_Y),
                                           uint32_t(x), uint32_t(y), 0, 0);
    } else {
        const uint32_t values[] = {uint32_t(x), uint32_t(y)};
        xcb_configure_window(m_connection, window, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, values);
    }
    sync();
}

void X11Desktop::activate(xcb_window_t window) {
    if (hasWindowManager()) {
        xcb_ewmh_request_change_active_window(&m_ewmh, 0, window, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER,
                                              XCB_CURRENT_TIME, XCB_NONE);
    } else {
        const uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(m_connection, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        xcb_set_input_focus(m_connection, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    }
    sync();
}

void X11Desktop::focus(xcb_window_t window) {
    xcb_set_input_focus(m_connection, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    sync();
}

QRect X11Desktop::geometry(xcb_window_t window) {
    // The outermost ancestor below the root is what the user sees.
    xcb_window_t outer = window;
    for (;;) {
        xcb_query_tree_reply_t* tree =
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, outer), nullptr);
        if (!tree)
            break;
        const xcb_window_t parent = tree->parent;
        std::free(tree);
        if (parent == m_screen->root || parent == XCB_NONE)
            break;
        outer = parent;
    }
    xcb_get_geometry_reply_t* g =
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, outer), nullptr);
    xcb_translate_coordinates_reply_t* t = xcb_translate_coordinates_reply(
        m_connection, xcb_translate_coordinates(m_connection, outer, m_screen->root, 0, 0), nullptr);
    QRect result;
    if (g && t)
        result = QRect(t->dst_x - g->border_width, t->dst_y - g->border_width, g->width, g->height);
    std::free(g);
    std::free(t);
    return result;
}

std::vector<xcb_window_t> X11Desktop::stacking() {
    std::vector<xcb_window_t> result;
    if (hasWindowManager()) {
        xcb_ewmh_get_windows_reply_t list;
        if (xcb_ewmh_get_client_list_stacking_reply(&m_ewmh, xcb_ewmh_get_client_list_stacking(&m_ewmh, 0),
                                                    &list, nullptr)) {
            result.assign(list.windows, list.windows + list.windows_len);
            xcb_ewmh_get_windows_reply_wipe(&list);
        }
        return result;
    }
    xcb_query_tree_reply_t* tree =
        xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_screen->root), nullptr);
    if (tree) {
        const xcb_window_t* children = xcb_query_tree_children(tree);
        result.assign(children, children + xcb_query_tree_children_length(tree));
        std::free(tree);
    }
    return result;
}

void X11Desktop::type(std::initializer_list<uint32_t> keysyms) {
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(m_connection);
    std::vector<xcb_keycode_t> codes;
    for (uint32_t keysym : keysyms) {
        xcb_keycode_t* c = xcb_key_symbols_get_keycode(symbols, keysym);
        codes.push_back(c ? c[0] : 0);
        std::free(c);
    }
    xcb_key_symbols_free(symbols);
    for (xcb_keycode_t code : codes)
        xcb_test_fake_input(m_connection, XCB_KEY_PRESS, code, XCB_CURRENT_TIME, m_screen->root, 0, 0, 0);
    for (auto it = codes.rbegin(); it != codes.rend(); ++it)
        xcb_test_fake_input(m_connection, XCB_KEY_RELEASE, *it, XCB_CURRENT_TIME, m_screen->root, 0, 0, 0);
    sync();
}

QImage X11Desktop::grab() {
    const uint16_t width = m_screen->width_in_pixels, height = m_screen->height_in_pixels;
    xcb_get_image_reply_t* image = xcb_get_image_reply(
        m_connection,
        xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_screen->root, 0, 0, width, height, ~0u),
        nullptr);
    if (!image)
        return {};
    const QImage view(xcb_get_image_data(image), width, height, QImage::Format_RGB32);
    QImage copy = view.copy();
    std::free(image);
    return copy;
}

void X11Desktop::sync() {
    std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

} // namespace quorvex::test
