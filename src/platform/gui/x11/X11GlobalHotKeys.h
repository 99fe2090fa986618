#pragma once

#include "platform/gui/GlobalHotKeys.h"

#include <memory>

namespace quorvex {

/// Global hot keys on X11: passive key grabs on the root window through a connection of its own,
/// read by a socket notifier on the GUI thread. Keys map to keysyms and modifiers to X11 masks
/// (control = Control, option = Mod1/Alt, command = Mod4/Super, shift = Shift).
class X11GlobalHotKeys final : public GlobalHotKeys {
public:
    /// Connects to `displayName` (null: $DISPLAY). Null when no display answers.
    static std::unique_ptr<X11GlobalHotKeys> connect(const char* displayName = nullptr);
    ~X11GlobalHotKeys() override;

    bool canGrabKeys() const override { return true; }
    bool registerHotKey(quint32 id, const KeyCombo& combo) override;
    void unregisterHotKey(quint32 id) override;
    void setPressHandler(PressHandler handler) override;

private:
    struct Private;
    explicit X11GlobalHotKeys(std::unique_ptr<Private> d);
    std::unique_ptr<Private> d;
};

} // namespace quorvex
