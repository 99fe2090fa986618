// Ownership and lifetimes: the object owns its xcb connection, the key-symbol table and the socket
// notifier that reads the connection on the GUI thread; destroying it releases every grab and
// closes the connection. Registration is synchronous: each grab is a checked request whose error
// (BadAccess when another client holds the key) is collected before `registerHotKey` returns.
// Reading a reply can pull events into xcb's queue without the socket becoming readable again, so
// every round trip is followed by a queued drain of that queue.
#include "platform/gui/x11/X11GlobalHotKeys.h"

#include <QSocketNotifier>

#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <vector>

namespace quorvex {
namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using XcbPtr = std::unique_ptr<T, FreeDeleter>;

// The program's virtual key codes and the keysym each one types on a US layout.
std::optional<xcb_keysym_t> keysymFor(quint32 keyCode) {
    static const std::map<quint32, xcb_keysym_t> table = {
        {0, XK_a},        {1, XK_s},          {2, XK_d},
        {3, XK_f},        {4, XK_h},          {5, XK_g},
        {6, XK_z},        {7, XK_x},          {8, XK_c},
        {9, XK_v},        {11, XK_b},         {12, XK_q},
        {13, XK_w},       {14, XK_e},         {15, XK_r},
        {16, XK_y},       {17, XK_t},         {18, XK_1},
        {19, XK_2},       {20, XK_3},         {21, XK_4},
        {22, XK_6},       {23, XK_5},         {24, XK_equal},
        {25, XK_9},       {26, XK_7},         {27, XK_minus},
        {28, XK_8},       {29, XK_0},         {30, XK_bracketright},
        {31, XK_o},       {32, XK_u},         {33, XK_bracketleft},
        {34, XK_i},       {35, XK_p},         {36, XK_Return},
        {37, XK_l},       {38, XK_j},         {39, XK_apostrophe},
        {40, XK_k},       {41, XK_semicolon}, {42, XK_backslash},
        {43, XK_comma},   {44, XK_slash},     {45, XK_n},
        {46, XK_m},       {47, XK_period},    {48, XK_Tab},
        {49, XK_space},   {50, XK_grave},     {51, XK_BackSpace},
        {53, XK_Escape},  {96, XK_F5},        {97, XK_F6},
        {98, XK_F7},      {99, XK_F3},        {100, XK_F8},
        {101, XK_F9},     {103, XK_F11},      {109, XK_F10},
        {111, XK_F12},    {115, XK_Home},     {116, XK_Prior},
        {117, XK_Delete}, {118, XK_F4},       {119, XK_End},
        {120, XK_F2},     {121, XK_Next},     {122, XK_F1},
        {123, XK_Left},   {124, XK_Right},    {125, XK_Down},
        {126, XK_Up},
    };
    const auto it = table.find(keyCode);
    if (it == table.end())
        return std::nullopt;
    return it->second;
}

uint16_t x11Modifiers(quint32 modifiers) {
    uint16_t mask = 0;
    if (modifiers & HotKeyModifier::control)
        mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & HotKeyModifier::option)
        mask |= XCB_MOD_MASK_1;
    if (modifiers & HotKeyModifier::command)
        mask |= XCB_MOD_MASK_4;
    if (modifiers & HotKeyModifier::shift)
        mask |= XCB_MOD_MASK_SHIFT;
    return mask;
}

constexpr uint16_t kModifierBits = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_LOCK | XCB_MOD_MASK_CONTROL |
                                   XCB_MOD_MASK_1 | XCB_MOD_MASK_2 | XCB_MOD_MASK_3 | XCB_MOD_MASK_4 |
                                   XCB_MOD_MASK_5;

} // namespace

struct X11GlobalHotKeys::Private {
    struct Grab {
        KeyCombo combo;
        std::vector<xcb_keycode_t> keycodes;
        uint16_t mask = 0;
    };

    xcb_connection_t* connection = nullptr;
    xcb_window_t root = 0;
    xcb_key_symbols_t* symbols = nullptr;
    uint16_t numLockMask = 0;
    std::unique_ptr<QSocketNotifier> notifier;
    std::map<quint32, Grab> grabs;
    std::set<xcb_keycode_t> held; // keys down since their last press fired
    PressHandler handler;

    ~Private() {
        notifier.reset();
        if (symbols)
            xcb_key_symbols_free(symbols);
        if (connection)
            xcb_disconnect(connection);
    }

    // Grab with the Caps Lock and Num Lock variants too, or the key is dead while either is on.
    std::vector<uint16_t> variants(uint16_t mask) const {
        std::vector<uint16_t> result{mask, uint16_t(mask | XCB_MOD_MASK_LOCK)};
        if (numLockMask) {
            result.push_back(uint16_t(mask | numLockMask));
            result.push_back(uint16_t(mask | numLockMask | XCB_MOD_MASK_LOCK));
        }
        return result;
    }

    uint16_t findNumLockMask() {
        XcbPtr<xcb_keycode_t> numLock(xcb_key_symbols_get_keycode(symbols, XK_Num_Lock));
        if (!numLock)
            return 0;
        XcbPtr<xcb_get_modifier_mapping_reply_t> reply(
            xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr));
        if (!reply)
            return 0;
        const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(reply.get());
        const int perModifier = reply->keycodes_per_modifier;
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int i = 0; i < perModifier; ++i) {
                const xcb_keycode_t code = keycodes[modifier * perModifier + i];
                for (const xcb_keycode_t* n = numLock.get(); *n != XCB_NO_SYMBOL; ++n) {
                    if (code != 0 && code == *n)
                        return uint16_t(1u << modifier);
                }
            }
        }
        return 0;
    }

    std::vector<xcb_keycode_t> keycodesFor(xcb_keysym_t keysym) const {
        std::vector<xcb_keycode_t> result;
        XcbPtr<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(symbols, keysym));
        for (const xcb_keycode_t* c = codes.get(); c && *c != XCB_NO_SYMBOL; ++c)
            result.push_back(*c);
        return result;
    }

    // All or nothing: when any variant is refused, the ones that were granted are released.
    bool grab(const Grab& g) {
        std::vector<std::pair<xcb_keycode_t, uint16_t>> requested;
        std::vector<xcb_void_cookie_t> cookies;
        for (xcb_keycode_t code : g.keycodes) {
            for (uint16_t mask : variants(g.mask)) {
                cookies.push_back(xcb_grab_key_checked(connection, 1, root, mask, code, XCB_GRAB_MODE_ASYNC,
                                                       XCB_GRAB_MODE_ASYNC));
                requested.emplace_back(code, mask);
            }
        }
        bool refused = false;
        for (const xcb_void_cookie_t& cookie : cookies) {
            if (XcbPtr<xcb_generic_error_t> error{xcb_request_check(connection, cookie)})
                refused = true;
        }
        if (refused)
            ungrab(g);
        scheduleDrain();
        return !refused && !xcb_connection_has_error(connection);
    }

    // Releases only this client's grabs; another client's grab of the same key stays.
    void ungrab(const Grab& g) {
        for (xcb_keycode_t code : g.keycodes) {
            for (uint16_t mask : variants(g.mask))
                xcb_ungrab_key(connection, code, root, mask);
        }
        xcb_flush(connection);
    }

    void scheduleDrain() {
        if (notifier)
            QMetaObject::invokeMethod(
                notifier.get(), [this] { readEvents(); }, Qt::QueuedConnection);
    }

    const quint32* idFor(xcb_keycode_t code, uint16_t state) const {
        const uint16_t mask = state & kModifierBits & ~(XCB_MOD_MASK_LOCK | numLockMask);
        for (const auto& [id, g] : grabs) {
            if (g.mask == mask && std::find(g.keycodes.begin(), g.keycodes.end(), code) != g.keycodes.end())
                return &id;
        }
        return nullptr;
    }

    void remapKeyboard() {
        for (const auto& [id, g] : grabs)
            ungrab(g);
        held.clear();
        numLockMask = findNumLockMask();
        for (auto it = grabs.begin(); it != grabs.end();) {
            const auto keysym = keysymFor(it->second.combo.keyCode);
            it->second.keycodes = keysym ? keycodesFor(*keysym) : std::vector<xcb_keycode_t>{};
            if (it->second.keycodes.empty() || !grab(it->second))
                it = grabs.erase(it);
            else
                ++it;
        }
    }

    void readEvents() {
        if (!connection)
            return;
        XcbPtr<xcb_generic_event_t> carried;
        for (;;) {
            XcbPtr<xcb_generic_event_t> event =
                carried ? std::move(carried) : XcbPtr<xcb_generic_event_t>(xcb_poll_for_event(connection));
            if (!event)
                break;
            switch (event->response_type & ~0x80) {
            case XCB_KEY_PRESS: {
                const auto* press = reinterpret_cast<const xcb_key_press_event_t*>(event.get());
                const quint32* id = idFor(press->detail, press->state);
                if (id && held.insert(press->detail).second && handler)
                    handler(*id);
                break;
            }
            case XCB_KEY_RELEASE: {
                // Key repeat arrives as a release and a press with the same time stamp: the key
                // stays down and the press does not fire again.
                const auto* release = reinterpret_cast<const xcb_key_release_event_t*>(event.get());
                XcbPtr<xcb_generic_event_t> next(xcb_poll_for_queued_event(connection));
                if (next && (next->response_type & ~0x80) == XCB_KEY_PRESS) {
                    const auto* press = reinterpret_cast<const xcb_key_press_event_t*>(next.get());
                    if (press->detail == release->detail && press->time == release->time)
                        break;
                }
                held.erase(release->detail);
                carried = std::move(next);
                break;
            }
            case XCB_MAPPING_NOTIFY: {
                auto* mapping = reinterpret_cast<xcb_mapping_notify_event_t*>(event.get());
                if (mapping->request != XCB_MAPPING_POINTER) {
                    xcb_refresh_keyboard_mapping(symbols, mapping);
                    remapKeyboard();
                }
                break;
            }
            default:
                break; // errors of unchecked ungrabs and anything else we did not ask for
            }
        }
        if (xcb_connection_has_error(connection) && notifier)
            notifier->setEnabled(false);
    }
};

std::unique_ptr<X11GlobalHotKeys> X11GlobalHotKeys::connect(const char* displayName) {
    auto d = std::make_unique<Private>();
    int screenNumber = 0;
    d->connection = xcb_connect(displayName, &screenNumber);
    if (!d->connection || xcb_connection_has_error(d->connection))
        return nullptr;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(d->connection));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (!screens.rem)
        return nullptr;
    d->root = screens.data->root;
    d->symbols = xcb_key_symbols_alloc(d->connection);
    if (!d->symbols)
        return nullptr;
    d->numLockMask = d->findNumLockMask();
    d->notifier =
        std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(d->connection), QSocketNotifier::Read);
    Private* raw = d.get();
    QObject::connect(d->notifier.get(), &QSocketNotifier::activated, d->notifier.get(),
                     [raw] { raw->readEvents(); });
    return std::unique_ptr<X11GlobalHotKeys>(new X11GlobalHotKeys(std::move(d)));
}

X11GlobalHotKeys::X11GlobalHotKeys(std::unique_ptr<Private> p)
    : d(std::move(p)) {}

X11GlobalHotKeys::~X11GlobalHotKeys() {
    for (const auto& [id, g] : d->grabs)
        d->ungrab(g);
}

bool X11GlobalHotKeys::registerHotKey(quint32 id, const KeyCombo& combo) {
    if (auto it = d->grabs.find(id); it != d->grabs.end()) {
        if (it->second.combo == combo)
            return true;
        unregisterHotKey(id);
    }
    // A second grab of the same key by this client would silently replace the first; the key
    // belongs to whoever registered it first.
    for (const auto& [otherId, g] : d->grabs) {
        if (g.combo == combo)
            return false;
    }
    const auto keysym = keysymFor(combo.keyCode);
    if (!keysym)
        return false;
    Private::Grab g{combo, d->keycodesFor(*keysym), x11Modifiers(combo.modifiers)};
    if (g.keycodes.empty() || !d->grab(g))
        return false;
    d->grabs.emplace(id, std::move(g));
    return true;
}

void X11GlobalHotKeys::unregisterHotKey(quint32 id) {
    const auto it = d->grabs.find(id);
    if (it == d->grabs.end())
        return;
    d->ungrab(it->second);
    for (xcb_keycode_t code : it->second.keycodes)
        d->held.erase(code);
    d->grabs.erase(it);
}

void X11GlobalHotKeys::setPressHandler(PressHandler handler) {
    d->handler = std::move(handler);
}

} // namespace quorvex
