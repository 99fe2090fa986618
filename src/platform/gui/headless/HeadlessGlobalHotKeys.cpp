#include "platform/gui/headless/HeadlessGlobalHotKeys.h"

namespace quorvex {

bool HeadlessGlobalHotKeys::registerHotKey(quint32, const KeyCombo&) {
    return false;
}

void HeadlessGlobalHotKeys::unregisterHotKey(quint32) {}

void HeadlessGlobalHotKeys::setPressHandler(PressHandler) {}

} // namespace quorvex
