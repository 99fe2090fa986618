#pragma once

#include "platform/gui/GlobalHotKeys.h"

#include <algorithm>
#include <map>
#include <vector>

namespace quorvex::test {

/// A GlobalHotKeys whose keys are pressed by the test. Like a real service it refuses a combo
/// this program already holds under another id, and any combo the test marks as held elsewhere.
class FakeHotKeys final : public GlobalHotKeys {
public:
    struct Call {
        enum Kind { Register, Unregister } kind;
        quint32 id;
    };

    bool canGrabKeys() const override { return m_canGrabKeys; }

    bool registerHotKey(quint32 id, const KeyCombo& combo) override {
        m_calls.push_back({Call::Register, id});
        if (!m_canGrabKeys || std::count(m_refused.begin(), m_refused.end(), combo))
            return false;
        for (const auto& [otherId, held] : m_held) {
            if (otherId != id && held == combo)
                return false;
        }
        m_held[id] = combo;
        return true;
    }

    void unregisterHotKey(quint32 id) override {
        m_calls.push_back({Call::Unregister, id});
        m_held.erase(id);
    }

    void setPressHandler(PressHandler handler) override {
        m_handler = std::move(handler);
        ++m_handlerChanges;
    }

    // --- control and inspection ---

    /// Plays a session without a display: canGrabKeys() is false and every key is refused.
    void setCanGrabKeys(bool can) { m_canGrabKeys = can; }

    /// From now on `combo` is held by another program: registering it fails.
    void refuse(const KeyCombo& combo) { m_refused.push_back(combo); }

    /// Delivers a press of `id` as the service would. It is delivered even when the key is no
    /// longer held, like a press that was already on its way when the key was released.
    void press(quint32 id) {
        if (m_handler)
            m_handler(id);
    }

    bool holds(quint32 id) const { return m_held.count(id) != 0; }
    const std::vector<Call>& calls() const { return m_calls; }
    int count(Call::Kind kind) const {
        return int(
            std::count_if(m_calls.begin(), m_calls.end(), [kind](const Call& c) { return c.kind == kind; }));
    }
    int handlerChanges() const { return m_handlerChanges; }

private:
    bool m_canGrabKeys = true;
    PressHandler m_handler;
    std::map<quint32, KeyCombo> m_held;
    std::vector<KeyCombo> m_refused;
    std::vector<Call> m_calls;
    int m_handlerChanges = 0;
};

} // namespace quorvex::test
