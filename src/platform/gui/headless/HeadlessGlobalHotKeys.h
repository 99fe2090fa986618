#pragma once

#include "platform/gui/GlobalHotKeys.h"

namespace quorvex {

/// The hot-key service when there is no display: every registration is refused, so no key fires
/// and nothing else changes.
class HeadlessGlobalHotKeys final : public GlobalHotKeys {
public:
    bool canGrabKeys() const override { return false; }
    bool registerHotKey(quint32 id, const KeyCombo& combo) override;
    void unregisterHotKey(quint32 id) override;
    void setPressHandler(PressHandler handler) override;
};

} // namespace quorvex
