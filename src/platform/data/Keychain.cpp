#include "platform/data/Keychain.h"

#include "platform/data/qtkeychain/QtKeychain.h"

namespace quorvex {

namespace {
Keychain* g_installed = nullptr;
} // namespace

Keychain& Keychain::shared() {
    if (g_installed)
        return *g_installed;
    static QtKeychain real;
    return real;
}

Keychain* Keychain::install(Keychain* keychain) {
    Keychain* previous = g_installed;
    g_installed = keychain;
    return previous;
}

} // namespace quorvex
