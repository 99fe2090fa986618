#pragma once

#include "platform/gui/GlobalHotKeys.h"

#include <QKeySequence>
#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace quorvex {

class HotKeyRegistry;

/// One system-wide keyboard shortcut: a key code with a modifier mask (the vocabulary of
/// `KeyCombo`) and an action. A key is held from the system only while `isActive`; a key the
/// system refuses keeps an empty `reference` and never fires. Every `HotKey` belongs to a
/// `HotKeyRegistry` and lives as long as it (the shared one: until the process ends). GUI thread.
class HotKey final {
public:
    using Action = std::function<void()>;

    /// A new, inactive key with the next id of `registry`.
    static HotKey& create(quint32 keyCode, quint32 modifiers, Action action,
                          HotKeyRegistry& registry = sharedRegistry());

    /// The always-on ⌃⌥⌘R. The first call creates it with `action` and activates it; later calls
    /// return the same key (their `action` is not used). It is never deactivated.
    static HotKey& repeatHotKey(Action action, HotKeyRegistry& registry = sharedRegistry());
    /// The repeat hot key as the desktop writes key combinations ("Ctrl+Alt+Meta+R"), for texts
    /// that name it.
    static QKeySequence repeatHotKeySequence();
    static QString repeatHotKeyText();

    /// The registration held from the service; empty while unregistered or refused.
    std::optional<quint32> reference() const { return m_reference; }
    const Action& action() const { return m_action; }
    quint32 keyCode() const { return m_keyCode; }
    quint32 modifiers() const { return m_modifiers; }
    quint32 id() const { return m_id; }

    bool isActive() const { return m_isActive; }
    /// Registers (true) or unregisters (false) the key; the service is asked only on a change.
    void setActive(bool active);

    static HotKeyRegistry& sharedRegistry();

private:
    friend class HotKeyRegistry;
    HotKey(HotKeyRegistry& registry, quint32 id, quint32 keyCode, quint32 modifiers, Action action);

    HotKeyRegistry& m_registry;
    std::optional<quint32> m_reference;
    Action m_action;
    quint32 m_keyCode;
    quint32 m_modifiers;
    quint32 m_id;
    bool m_isActive = false;
};

/// The process-wide side of hot keys: the ids, the keys by id, and the one press handler that
/// hands each press to its key. A press reaches the key through a queued call on the GUI thread,
/// so actions run in press order and never inside the service's event reading; a press whose key
/// was unregistered meanwhile is dropped. The service is not owned and must outlive the registry.
class HotKeyRegistry final {
public:
    explicit HotKeyRegistry(GlobalHotKeys& service);
    ~HotKeyRegistry();
    HotKeyRegistry(const HotKeyRegistry&) = delete;
    HotKeyRegistry& operator=(const HotKeyRegistry&) = delete;

    GlobalHotKeys& service() { return m_service; }
    /// The key with `id`, or null.
    HotKey* find(quint32 id) const;

private:
    friend class HotKey;
    HotKey& add(quint32 keyCode, quint32 modifiers, HotKey::Action action);
    void dispatch(quint32 id);

    GlobalHotKeys& m_service;
    QObject m_context; // queued presses die with the registry
    std::map<quint32, std::unique_ptr<HotKey>> m_keys;
    HotKey* m_repeatHotKey = nullptr;
    quint32 m_nextId = 1;
    bool m_handlerInstalled = false;
};

} // namespace quorvex
