// Ownership: the object owns its xcb connection, the EWMH atom table and the socket notifier that
// reads the connection on the GUI thread. Queries pipeline their requests (all cookies first,
// then the replies) so a window list costs one round trip per kind of request, not per window.
// Reading a reply can pull events into xcb's queue without the socket becoming readable again,
// so every query is followed by a queued drain of that queue.
#include "platform/gui/x11/X11WindowSystem.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSocketNotifier>

#include <xcb/randr.h>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>
#include <xcb/xinerama.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace quorvex {
namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using XcbPtr = std::unique_ptr<T, FreeDeleter>;

// Layers of the window list, after the order of the desktop's own window levels.
constexpr int kNormalLayer = 0;
constexpr int kFloatingLayer = 3;
constexpr int kDockLayer = 20;
constexpr int kMenuLayer = 24;

} // namespace

struct X11WindowSystem::Private {
    X11WindowSystem* owner = nullptr;
    Units units = Units::qtPoints;
    xcb_connection_t* connection = nullptr;
    bool hasMonitors = false; // RandR 1.5
    bool hasXinerama = false;
    mutable xcb_ewmh_connection_t ewmh{}; // the library takes it non-const even for reads
    bool ewmhReady = false;
    int screenNumber = 0;
    xcb_window_t root = 0;
    std::unique_ptr<QSocketNotifier> notifier;
    bool changePending = false;
    std::vector<xcb_window_t> watched;

    ~Private() {
        notifier.reset();
        if (ewmhReady)
            xcb_ewmh_connection_wipe(&ewmh);
        if (connection)
            xcb_disconnect(connection);
    }

    // --- events ---

    void readEvents() {
        // A server gone for good leaves the socket readable for ever: stop reading it.
        if (xcb_connection_has_error(connection)) {
            if (notifier)
                notifier->setEnabled(false);
            return;
        }
        bool relevant = false;
        bool clientsChanged = false;
        while (XcbPtr<xcb_generic_event_t> event{xcb_poll_for_event(connection)}) {
            switch (event->response_type & 0x7f) {
            case XCB_PROPERTY_NOTIFY: {
                const auto* e = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
                if (e->window == root) {
                    if (e->atom == ewmh._NET_CLIENT_LIST_STACKING || e->atom == ewmh._NET_CLIENT_LIST)
                        clientsChanged = true;
                    if (e->atom == ewmh._NET_ACTIVE_WINDOW || e->atom == ewmh._NET_CLIENT_LIST_STACKING ||
                        e->atom == ewmh._NET_CLIENT_LIST || e->atom == ewmh._NET_WORKAREA ||
                        e->atom == ewmh._NET_SUPPORTING_WM_CHECK)
                        relevant = true;
                } else {
                    relevant = true; // a title, frame extents or state of a watched window
                }
                break;
            }
            case XCB_MAP_NOTIFY:
            case XCB_UNMAP_NOTIFY:
            case XCB_CREATE_NOTIFY:
            case XCB_DESTROY_NOTIFY:
            case XCB_REPARENT_NOTIFY:
                clientsChanged = true;
                relevant = true;
                break;
            case XCB_CONFIGURE_NOTIFY:
            case XCB_FOCUS_IN:
            case XCB_FOCUS_OUT:
                relevant = true;
                break;
            default:
                break;
            }
        }
        if (clientsChanged)
            watchClients();
        if (relevant)
            scheduleChanged();
    }

    void scheduleDrain() {
        if (notifier)
            QMetaObject::invokeMethod(
                notifier.get(), [this] { readEvents(); }, Qt::QueuedConnection);
    }

    // One signal per event-loop turn, however many events arrived.
    void scheduleChanged() {
        if (changePending)
            return;
        changePending = true;
        QMetaObject::invokeMethod(
            owner,
            [this] {
                changePending = false;
                emit owner->changed();
            },
            Qt::QueuedConnection);
    }

    // Titles, extents and states live on the client windows, not on the root. Focus events too:
    // focus moving between two top-level windows reaches neither the root nor a window manager's
    // property when there is no window manager, only the windows it leaves and enters.
    void watchClients() {
        const uint32_t mask =
            XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_FOCUS_CHANGE;
        for (xcb_window_t window : stackingBottomToTop()) {
            if (std::find(watched.begin(), watched.end(), window) == watched.end()) {
                xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &mask);
                watched.push_back(window);
            }
        }
        if (watched.size() > 512)
            watched.erase(watched.begin(), watched.begin() + 256);
        xcb_flush(connection);
    }

    // --- queries ---

    bool hasWindowManager() const {
        xcb_window_t check = 0;
        if (!xcb_ewmh_get_supporting_wm_check_reply(&ewmh, xcb_ewmh_get_supporting_wm_check(&ewmh, root),
                                                    &check, nullptr))
            return false;
        return check != 0;
    }

    std::vector<xcb_window_t> stackingBottomToTop() const {
        std::vector<xcb_window_t> result;
        if (hasWindowManager()) {
            xcb_ewmh_get_windows_reply_t list;
            if (xcb_ewmh_get_client_list_stacking_reply(
                    &ewmh, xcb_ewmh_get_client_list_stacking(&ewmh, screenNumber), &list, nullptr)) {
                result.assign(list.windows, list.windows + list.windows_len);
                xcb_ewmh_get_windows_reply_wipe(&list);
                return result;
            }
        }
        XcbPtr<xcb_query_tree_reply_t> tree{
            xcb_query_tree_reply(connection, xcb_query_tree(connection, root), nullptr)};
        if (tree) {
            const xcb_window_t* children = xcb_query_tree_children(tree.get());
            result.assign(children, children + xcb_query_tree_children_length(tree.get()));
        }
        return result;
    }

    // Whether `window` already lies directly above (or below) `anchor` among the top-level windows.
    bool isDirectlyBeside(xcb_window_t window, bool above, xcb_window_t anchor) const {
        const std::vector<xcb_window_t> stacking = stackingBottomToTop();
        const auto at = std::find(stacking.begin(), stacking.end(), window);
        if (at == stacking.end())
            return false;
        if (above)
            return at != stacking.begin() && *(at - 1) == anchor;
        return at + 1 != stacking.end() && *(at + 1) == anchor;
    }

    std::optional<QString> windowClass(xcb_get_property_reply_t* reply) const {
        if (!reply || reply->value_len == 0)
            return std::nullopt;
        const char* value = static_cast<const char*>(xcb_get_property_value(reply));
        const int length = xcb_get_property_value_length(reply);
        // Instance name, NUL, class name, NUL.
        const char* end = value + length;
        const char* instanceEnd = static_cast<const char*>(std::memchr(value, '\0', size_t(length)));
        if (!instanceEnd || instanceEnd + 1 >= end)
            return QString::fromLocal8Bit(value, length);
        const char* klass = instanceEnd + 1;
        const char* classEnd = static_cast<const char*>(std::memchr(klass, '\0', size_t(end - klass)));
        return QString::fromLocal8Bit(klass, int((classEnd ? classEnd : end) - klass));
    }

    struct ClientInfo {
        xcb_window_t window = 0;
        bool viewable = false;
        std::optional<QString> windowClass;
        std::optional<qint64> pid;
        Window window_;
    };

    std::vector<ClientInfo> describe(const std::vector<xcb_window_t>& windows) const {
        struct Cookies {
            xcb_get_window_attributes_cookie_t attributes;
            xcb_get_geometry_cookie_t geometry;
            xcb_translate_coordinates_cookie_t origin;
            xcb_get_property_cookie_t windowClass;
            xcb_get_property_cookie_t pid;
            xcb_get_property_cookie_t extents;
            xcb_get_property_cookie_t type;
            xcb_get_property_cookie_t state;
        };
        std::vector<Cookies> cookies;
        cookies.reserve(windows.size());
        for (xcb_window_t w : windows) {
            cookies.push_back({
                xcb_get_window_attributes(connection, w),
                xcb_get_geometry(connection, w),
                xcb_translate_coordinates(connection, w, root, 0, 0),
                xcb_get_property(connection, 0, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256),
                xcb_get_property(connection, 0, w, ewmh._NET_WM_PID, XCB_ATOM_CARDINAL, 0, 1),
                xcb_get_property(connection, 0, w, ewmh._NET_FRAME_EXTENTS, XCB_ATOM_CARDINAL, 0, 4),
                xcb_get_property(connection, 0, w, ewmh._NET_WM_WINDOW_TYPE, XCB_ATOM_ATOM, 0, 16),
                xcb_get_property(connection, 0, w, ewmh._NET_WM_STATE, XCB_ATOM_ATOM, 0, 32),
            });
        }
        std::vector<ClientInfo> result;
        result.reserve(windows.size());
        for (size_t i = 0; i < windows.size(); ++i) {
            const Cookies& c = cookies[i];
            ClientInfo info;
            info.window = windows[i];
            XcbPtr<xcb_get_window_attributes_reply_t> attributes{
                xcb_get_window_attributes_reply(connection, c.attributes, nullptr)};
            XcbPtr<xcb_get_geometry_reply_t> geometry{
                xcb_get_geometry_reply(connection, c.geometry, nullptr)};
            XcbPtr<xcb_translate_coordinates_reply_t> origin{
                xcb_translate_coordinates_reply(connection, c.origin, nullptr)};
            XcbPtr<xcb_get_property_reply_t> klass{
                xcb_get_property_reply(connection, c.windowClass, nullptr)};
            XcbPtr<xcb_get_property_reply_t> pid{xcb_get_property_reply(connection, c.pid, nullptr)};
            XcbPtr<xcb_get_property_reply_t> extents{xcb_get_property_reply(connection, c.extents, nullptr)};
            XcbPtr<xcb_get_property_reply_t> type{xcb_get_property_reply(connection, c.type, nullptr)};
            XcbPtr<xcb_get_property_reply_t> state{xcb_get_property_reply(connection, c.state, nullptr)};

            info.viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
            info.windowClass = windowClass(klass.get());
            if (pid && pid->value_len == 1)
                info.pid = qint64(*static_cast<const uint32_t*>(xcb_get_property_value(pid.get())));

            Window& w = info.window_;
            w.number = windows[i];
            w.ownerPID = info.pid;
            w.ownerName = info.windowClass.value_or(QString());
            if (geometry && origin) {
                double left = 0, right = 0, top = 0, bottom = 0;
                if (extents && extents->value_len == 4) {
                    const auto* e = static_cast<const uint32_t*>(xcb_get_property_value(extents.get()));
                    left = e[0], right = e[1], top = e[2], bottom = e[3];
                }
                w.bounds = toPoints(QRectF(origin->dst_x - left, origin->dst_y - top,
                                           geometry->width + left + right, geometry->height + top + bottom));
            }
            int layer = kNormalLayer;
            if (attributes && attributes->override_redirect)
                layer = kMenuLayer;
            if (type && type->value_len > 0) {
                const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(type.get()));
                const xcb_atom_t t = atoms[0];
                if (t == ewmh._NET_WM_WINDOW_TYPE_DOCK)
                    layer = kDockLayer;
                else if (t == ewmh._NET_WM_WINDOW_TYPE_MENU || t == ewmh._NET_WM_WINDOW_TYPE_DROPDOWN_MENU ||
                         t == ewmh._NET_WM_WINDOW_TYPE_POPUP_MENU || t == ewmh._NET_WM_WINDOW_TYPE_TOOLTIP ||
                         t == ewmh._NET_WM_WINDOW_TYPE_NOTIFICATION || t == ewmh._NET_WM_WINDOW_TYPE_COMBO ||
                         t == ewmh._NET_WM_WINDOW_TYPE_DND)
                    layer = kMenuLayer;
                else if (t == ewmh._NET_WM_WINDOW_TYPE_UTILITY || t == ewmh._NET_WM_WINDOW_TYPE_TOOLBAR ||
                         t == ewmh._NET_WM_WINDOW_TYPE_SPLASH)
                    layer = kFloatingLayer;
            }
            if (state && state->value_len > 0) {
                const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(state.get()));
                for (uint32_t k = 0; k < state->value_len; ++k) {
                    if (atoms[k] == ewmh._NET_WM_STATE_ABOVE && layer == kNormalLayer)
                        layer = kFloatingLayer;
                }
            }
            w.layer = layer;
            result.push_back(std::move(info));
        }
        return result;
    }

    // --- screens and units ---

    // Qt counts in device-independent pixels: each screen keeps its top-left corner and divides
    // what lies right of and below it by its device pixel ratio. A rectangle goes by the screen
    // its centre is on.
    QRectF toPoints(const QRectF& pixels) const {
        if (units == Units::pixels || !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            return pixels;
        const QScreen* on = QGuiApplication::primaryScreen();
        for (const QScreen* screen : QGuiApplication::screens()) {
            const QRect logical = screen->geometry();
            const QRectF native(logical.topLeft(), QSizeF(logical.size()) * screen->devicePixelRatio());
            if (native.contains(pixels.center())) {
                on = screen;
                break;
            }
        }
        if (!on)
            return pixels;
        const QPointF corner = on->geometry().topLeft();
        const double ratio = on->devicePixelRatio();
        return {corner + (pixels.topLeft() - corner) / ratio, pixels.size() / ratio};
    }

    // The monitors in the server's pixels. The first one is the monitor at the root's top-left
    // corner (where window coordinates start), else the primary one; the others follow in the
    // server's order. RandR 1.5 monitors, else Xinerama's screens, else the root.
    std::vector<QRect> monitors() const {
        std::vector<QRect> result;
        int primary = -1;
        if (hasMonitors) {
            XcbPtr<xcb_randr_get_monitors_reply_t> reply{xcb_randr_get_monitors_reply(
                connection, xcb_randr_get_monitors(connection, root, 1), nullptr)};
            if (reply) {
                for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem;
                     xcb_randr_monitor_info_next(&it)) {
                    if (it.data->primary)
                        primary = int(result.size());
                    result.emplace_back(it.data->x, it.data->y, it.data->width, it.data->height);
                }
            }
        }
        if (result.empty() && hasXinerama) {
            XcbPtr<xcb_xinerama_query_screens_reply_t> reply{xcb_xinerama_query_screens_reply(
                connection, xcb_xinerama_query_screens(connection), nullptr)};
            if (reply) {
                for (auto it = xcb_xinerama_query_screens_screen_info_iterator(reply.get()); it.rem;
                     xcb_xinerama_screen_info_next(&it))
                    result.emplace_back(it.data->x_org, it.data->y_org, it.data->width, it.data->height);
            }
        }
        std::erase_if(result, [](const QRect& monitor) { return monitor.isEmpty(); });
        if (result.empty()) {
            XcbPtr<xcb_get_geometry_reply_t> geometry{
                xcb_get_geometry_reply(connection, xcb_get_geometry(connection, root), nullptr)};
            if (geometry)
                result.emplace_back(0, 0, geometry->width, geometry->height);
            return result;
        }
        auto first = std::find_if(result.begin(), result.end(),
                                  [](const QRect& monitor) { return monitor.topLeft() == QPoint(0, 0); });
        if (first == result.end() && primary >= 0 && primary < int(result.size()))
            first = result.begin() + primary;
        if (first != result.end())
            std::rotate(result.begin(), first, first + 1);
        return result;
    }

    // The part of the current desktop that panels and docks leave free, in the server's pixels.
    std::optional<QRect> workArea() const {
        uint32_t desktop = 0;
        if (!xcb_ewmh_get_current_desktop_reply(&ewmh, xcb_ewmh_get_current_desktop(&ewmh, screenNumber),
                                                &desktop, nullptr))
            desktop = 0;
        xcb_ewmh_get_workarea_reply_t workarea;
        if (!xcb_ewmh_get_workarea_reply(&ewmh, xcb_ewmh_get_workarea(&ewmh, screenNumber), &workarea,
                                         nullptr))
            return std::nullopt;
        std::optional<QRect> result;
        if (workarea.workarea_len > 0) {
            const xcb_ewmh_geometry_t& a = workarea.workarea[std::min(desktop, workarea.workarea_len - 1)];
            if (a.width > 0 && a.height > 0)
                result = QRect(int(a.x), int(a.y), int(a.width), int(a.height));
        }
        xcb_ewmh_get_workarea_reply_wipe(&workarea);
        return result;
    }

    std::optional<QString> title(xcb_window_t window) const {
        xcb_ewmh_get_utf8_strings_reply_t name;
        if (xcb_ewmh_get_wm_name_reply(&ewmh, xcb_ewmh_get_wm_name(&ewmh, window), &name, nullptr)) {
            QString text = QString::fromUtf8(name.strings, int(name.strings_len));
            xcb_ewmh_get_utf8_strings_reply_wipe(&name);
            return text;
        }
        XcbPtr<xcb_get_property_reply_t> legacy{xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 0, 1024),
            nullptr)};
        if (legacy && legacy->value_len > 0)
            return QString::fromLatin1(static_cast<const char*>(xcb_get_property_value(legacy.get())),
                                       xcb_get_property_value_length(legacy.get()));
        return std::nullopt;
    }

    // The client window that is active: the window manager's word, else the top-level ancestor of
    // the input focus.
    std::optional<xcb_window_t> activeClient() const {
        if (hasWindowManager()) {
            xcb_window_t active = 0;
            if (xcb_ewmh_get_active_window_reply(&ewmh, xcb_ewmh_get_active_window(&ewmh, screenNumber),
                                                 &active, nullptr) &&
                active != 0)
                return active;
            return std::nullopt;
        }
        XcbPtr<xcb_get_input_focus_reply_t> focus{
            xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr)};
        if (!focus || focus->focus == XCB_NONE || focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT ||
            focus->focus == root)
            return std::nullopt;
        xcb_window_t window = focus->focus;
        for (int depth = 0; depth < 64; ++depth) {
            XcbPtr<xcb_query_tree_reply_t> tree{
                xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr)};
            if (!tree)
                return std::nullopt;
            if (tree->parent == root || tree->parent == XCB_NONE)
                return window;
            window = tree->parent;
        }
        return std::nullopt;
    }
};

std::unique_ptr<X11WindowSystem> X11WindowSystem::connect(const char* displayName, Units units) {
    auto d = std::make_unique<Private>();
    d->units = units;
    d->connection = xcb_connect(displayName, &d->screenNumber);
    if (!d->connection || xcb_connection_has_error(d->connection))
        return nullptr;
    const xcb_setup_t* setup = xcb_get_setup(d->connection);
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < d->screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    if (!it.rem)
        return nullptr;
    d->root = it.data->root;
    xcb_intern_atom_cookie_t* cookies = xcb_ewmh_init_atoms(d->connection, &d->ewmh);
    if (!xcb_ewmh_init_atoms_replies(&d->ewmh, cookies, nullptr))
        return nullptr;
    d->ewmhReady = true;
    XcbPtr<xcb_randr_query_version_reply_t> randr{
        xcb_randr_query_version_reply(d->connection, xcb_randr_query_version(d->connection, 1, 5), nullptr)};
    d->hasMonitors = randr && (randr->major_version > 1 || randr->minor_version >= 5);
    XcbPtr<xcb_xinerama_is_active_reply_t> xinerama{
        xcb_xinerama_is_active_reply(d->connection, xcb_xinerama_is_active(d->connection), nullptr)};
    d->hasXinerama = xinerama && xinerama->state;
    // The root hears of focus going to or from it (PointerRoot, None); the rest is per window.
    const uint32_t mask =
        XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_FOCUS_CHANGE;
    xcb_change_window_attributes(d->connection, d->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(d->connection);
    return std::unique_ptr<X11WindowSystem>(new X11WindowSystem(std::move(d)));
}

X11WindowSystem::X11WindowSystem(std::unique_ptr<Private> p)
    : d(std::move(p)) {
    d->owner = this;
    d->notifier =
        std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(d->connection), QSocketNotifier::Read);
    QObject::connect(d->notifier.get(), &QSocketNotifier::activated, d->notifier.get(),
                     [this] { d->readEvents(); });
    d->watchClients();
    d->scheduleDrain();
}

X11WindowSystem::~X11WindowSystem() = default;

QString X11WindowSystem::bundleIDForClass(const QString& windowClass) {
    if (windowClass == QLatin1String("Simulator"))
        return QStringLiteral("com.apple.iphonesimulator");
    if (windowClass == QLatin1String("DeviceHub"))
        return QStringLiteral("com.apple.dt.Devices");
    return windowClass;
}

bool X11WindowSystem::hasWindowManager() const {
    return d->hasWindowManager();
}

bool X11WindowSystem::isConnected() const {
    return !xcb_connection_has_error(d->connection);
}

std::optional<WindowSystem::Activation> X11WindowSystem::frontmostApplication() const {
    const std::optional<xcb_window_t> active = d->activeClient();
    std::optional<Activation> result;
    if (active) {
        const auto infos = d->describe({*active});
        if (!infos.empty() && infos.front().windowClass && !infos.front().windowClass->isEmpty()) {
            const auto& info = infos.front();
            result =
                Activation{{bundleIDForClass(*info.windowClass), info.pid.value_or(0), *info.windowClass},
                           quint64(*active)};
        }
    }
    d->scheduleDrain();
    return result;
}

std::vector<WindowSystem::Application> X11WindowSystem::runningApplications(const QString& bundleID) const {
    std::vector<Application> result;
    for (const auto& info : d->describe(d->stackingBottomToTop())) {
        if (!info.windowClass || bundleIDForClass(*info.windowClass) != bundleID)
            continue;
        Application app{bundleID, info.pid.value_or(0), *info.windowClass};
        if (std::find(result.begin(), result.end(), app) == result.end())
            result.push_back(app);
    }
    d->scheduleDrain();
    return result;
}

std::vector<WindowSystem::Window> X11WindowSystem::windowList() const {
    std::vector<xcb_window_t> stacking = d->stackingBottomToTop();
    std::reverse(stacking.begin(), stacking.end());
    std::vector<Window> result;
    for (auto& info : d->describe(stacking)) {
        if (info.viewable)
            result.push_back(std::move(info.window_));
    }
    d->scheduleDrain();
    return result;
}

std::optional<QString> X11WindowSystem::focusedWindowTitle(qint64 pid) const {
    std::optional<xcb_window_t> window;
    if (const auto active = d->activeClient()) {
        const auto infos = d->describe({*active});
        if (!infos.empty() && infos.front().pid == pid)
            window = *active;
    }
    if (!window) {
        for (const Window& w : windowList()) {
            if (w.ownerPID == pid && w.layer == kNormalLayer && w.number) {
                window = xcb_window_t(*w.number);
                break;
            }
        }
    }
    std::optional<QString> result;
    if (window)
        result = d->title(*window);
    d->scheduleDrain();
    return result;
}

bool X11WindowSystem::isProcessRunning(qint64 pid) const {
    if (pid <= 0)
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

std::vector<WindowSystem::Screen> X11WindowSystem::screens() const {
    const std::vector<QRect> monitors = d->monitors();
    std::vector<Screen> result;
    if (monitors.empty())
        return result;
    const std::optional<QRect> work = d->workArea();
    // Turned so y grows upwards from the first screen's bottom edge.
    const double height = d->toPoints(QRectF(monitors.front())).height();
    const auto flip = [height](const QRectF& r) {
        return QRectF(r.x(), height - r.y() - r.height(), r.width(), r.height());
    };
    for (const QRect& monitor : monitors) {
        const QRect visible = work ? monitor.intersected(*work) : monitor;
        const QRectF frame = d->toPoints(QRectF(monitor));
        // The visible part lies on the monitor, so it scales with the monitor's own ratio.
        QRectF visibleFrame = frame;
        if (!visible.isEmpty()) {
            const double ratio = monitor.width() / frame.width();
            visibleFrame = QRectF(frame.topLeft() + QPointF(visible.topLeft() - monitor.topLeft()) / ratio,
                                  QSizeF(visible.size()) / ratio);
        }
        result.push_back({flip(frame), flip(visibleFrame)});
    }
    d->scheduleDrain();
    return result;
}

void X11WindowSystem::orderWindow(quint64 window, Order order, quint64 relativeTo) {
    const auto moving = xcb_window_t(window);
    const auto anchor = xcb_window_t(relativeTo);
    if (!d->hasWindowManager()) {
        const uint32_t mode = order == Order::Above ? XCB_STACK_MODE_ABOVE : XCB_STACK_MODE_BELOW;
        const uint32_t values[] = {anchor, mode};
        xcb_configure_window(d->connection, moving, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE,
                             values);
        xcb_flush(d->connection);
        d->scheduleDrain();
        return;
    }
    // Frames belong to the window manager, which restacks on request as for a pager. Managers
    // differ on a request relative to a sibling: some put the window right there, others (openbox)
    // only raise it to the top or lower it to the bottom. A row of raises, each above the window
    // it must end up above, comes out the same with both: the two windows in the wanted order,
    // then every window that was above the anchor again, in its order.
    std::vector<xcb_window_t> stacking = d->stackingBottomToTop();
    std::erase(stacking, moving);
    const auto anchorAt = std::find(stacking.begin(), stacking.end(), anchor);
    const auto raise = [this](xcb_window_t raised, xcb_window_t above) {
        xcb_ewmh_request_restack_window(&d->ewmh, d->screenNumber, raised, above, XCB_STACK_MODE_ABOVE);
    };
    if (anchorAt == stacking.end()) {
        const uint32_t mode = order == Order::Above ? XCB_STACK_MODE_ABOVE : XCB_STACK_MODE_BELOW;
        xcb_ewmh_request_restack_window(&d->ewmh, d->screenNumber, moving, anchor, xcb_stack_mode_t(mode));
    } else if (!d->isDirectlyBeside(moving, order == Order::Above, anchor)) {
        xcb_window_t last = moving;
        raise(moving, anchor);
        if (order == Order::Below) {
            raise(anchor, moving);
            last = anchor;
        }
        for (auto above = anchorAt + 1; above != stacking.end(); ++above) {
            raise(*above, last);
            last = *above;
        }
    }
    xcb_flush(d->connection);
    d->scheduleDrain();
}

bool X11WindowSystem::openApplication(const QString&) {
    return false; // no registry of applications by bundle identifier on this desktop
}

} // namespace quorvex
