#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>

namespace quorvex {

/// A key with modifiers, in the program's own key vocabulary: the virtual key codes of the classic
/// desktop keyboard layout (`VirtualKey`) and the modifier mask of `HotKeyModifier`. Backends
/// translate both to their platform's terms.
struct KeyCombo {
    quint32 keyCode = 0;
    quint32 modifiers = 0;

    friend bool operator==(const KeyCombo&, const KeyCombo&) = default;
};

/// Modifier bits of `KeyCombo::modifiers`.
namespace HotKeyModifier {
constexpr quint32 command = 0x100; // Super on X11
constexpr quint32 shift = 0x200;
constexpr quint32 option = 0x800; // Alt on X11
constexpr quint32 control = 0x1000;
} // namespace HotKeyModifier

/// Virtual key codes of `KeyCombo::keyCode` (position codes of the US layout).
namespace VirtualKey {
constexpr quint32 A = 0, S = 1, D = 2, F = 3, H = 4, G = 5, Z = 6, X = 7, C = 8, V = 9, B = 11, Q = 12,
                  W = 13, E = 14, R = 15, Y = 16, T = 17, O = 31, U = 32, I = 34, P = 35, L = 37, J = 38,
                  K = 40, N = 45, M = 46;
constexpr quint32 digit1 = 18, digit2 = 19, digit3 = 20, digit4 = 21, digit6 = 22, digit5 = 23, digit9 = 25,
                  digit7 = 26, digit8 = 28, digit0 = 29;
constexpr quint32 returnKey = 36, tab = 48, space = 49, deleteKey = 51, escape = 53;
constexpr quint32 leftArrow = 123, rightArrow = 124, downArrow = 125, upArrow = 126;
} // namespace VirtualKey

/// The system-wide hot-key service: keys registered here fire whichever window has the focus.
///
/// Contract: `registerHotKey` answers at once whether the key is now held for this program. It is
/// false when another program holds the key, when this program already holds the same combo under
/// another id, when the key has no equivalent on this keyboard, or when there is no display; such
/// a key never fires. Every press of a held key reaches the press handler on the GUI thread, in
/// the order of the presses, once per press (key repeat does not fire again). GUI thread only.
class GlobalHotKeys {
public:
    using PressHandler = std::function<void(quint32 id)>;

    virtual ~GlobalHotKeys() = default;

    /// Whether keys can be held at all in this session: false without a display or in a build
    /// without X11, where every registration is refused. Asked before offering hot keys to the
    /// user, so the program can say why none work instead of failing key by key.
    virtual bool canGrabKeys() const = 0;

    /// Holds `combo` for `id` (ids are the caller's; one combo per id).
    virtual bool registerHotKey(quint32 id, const KeyCombo& combo) = 0;

    /// Releases the key held for `id`; nothing when it holds none.
    virtual void unregisterHotKey(quint32 id) = 0;

    /// The one receiver of every press; replaces the previous one.
    virtual void setPressHandler(PressHandler handler) = 0;

    /// The backend for this session: X11 when the build has it and a display answers, else one
    /// that refuses every key. Defined by the backend the build picks (x11/ or headless/).
    static std::unique_ptr<GlobalHotKeys> create();
};

} // namespace quorvex
