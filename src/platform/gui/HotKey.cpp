#include "platform/gui/HotKey.h"

namespace quorvex {
namespace {

constexpr quint32 kRepeatKeyCode = VirtualKey::R;
constexpr quint32 kRepeatModifiers =
    HotKeyModifier::control | HotKeyModifier::option | HotKeyModifier::command;

} // namespace

QKeySequence HotKey::repeatHotKeySequence() {
    // Command is the Meta (Super) key here, as the X11 backend grabs it.
    Qt::KeyboardModifiers modifiers;
    if (kRepeatModifiers & HotKeyModifier::control)
        modifiers |= Qt::ControlModifier;
    if (kRepeatModifiers & HotKeyModifier::option)
        modifiers |= Qt::AltModifier;
    if (kRepeatModifiers & HotKeyModifier::command)
        modifiers |= Qt::MetaModifier;
    if (kRepeatModifiers & HotKeyModifier::shift)
        modifiers |= Qt::ShiftModifier;
    return QKeySequence(QKeyCombination(modifiers, Qt::Key_R));
}

QString HotKey::repeatHotKeyText() {
    return repeatHotKeySequence().toString(QKeySequence::NativeText);
}

HotKey::HotKey(HotKeyRegistry& registry, quint32 id, quint32 keyCode, quint32 modifiers, Action action)
    : m_registry(registry)
    , m_action(std::move(action))
    , m_keyCode(keyCode)
    , m_modifiers(modifiers)
    , m_id(id) {}

HotKey& HotKey::create(quint32 keyCode, quint32 modifiers, Action action, HotKeyRegistry& registry) {
    return registry.add(keyCode, modifiers, std::move(action));
}

HotKey& HotKey::repeatHotKey(Action action, HotKeyRegistry& registry) {
    if (!registry.m_repeatHotKey) {
        registry.m_repeatHotKey = &registry.add(kRepeatKeyCode, kRepeatModifiers, std::move(action));
        registry.m_repeatHotKey->setActive(true);
    }
    return *registry.m_repeatHotKey;
}

void HotKey::setActive(bool active) {
    if (active == m_isActive)
        return;
    m_isActive = active;
    if (active) {
        if (!m_reference && m_registry.service().registerHotKey(m_id, KeyCombo{m_keyCode, m_modifiers}))
            m_reference = m_id;
    } else {
        if (m_reference)
            m_registry.service().unregisterHotKey(m_id);
        m_reference.reset();
    }
}

HotKeyRegistry& HotKey::sharedRegistry() {
    // Created on first use and never released, like every key in it.
    static GlobalHotKeys* service = GlobalHotKeys::create().release();
    static HotKeyRegistry* registry = new HotKeyRegistry(*service);
    return *registry;
}

HotKeyRegistry::HotKeyRegistry(GlobalHotKeys& service)
    : m_service(service) {}

HotKeyRegistry::~HotKeyRegistry() {
    if (m_handlerInstalled)
        m_service.setPressHandler({});
    for (const auto& [id, key] : m_keys) {
        if (key->m_reference)
            m_service.unregisterHotKey(id);
    }
}

HotKey* HotKeyRegistry::find(quint32 id) const {
    const auto it = m_keys.find(id);
    return it == m_keys.end() ? nullptr : it->second.get();
}

HotKey& HotKeyRegistry::add(quint32 keyCode, quint32 modifiers, HotKey::Action action) {
    const quint32 id = m_nextId++;
    if (!m_handlerInstalled) {
        m_service.setPressHandler([this](quint32 pressed) {
            QMetaObject::invokeMethod(
                &m_context, [this, pressed] { dispatch(pressed); }, Qt::QueuedConnection);
        });
        m_handlerInstalled = true;
    }
    auto key = std::unique_ptr<HotKey>(new HotKey(*this, id, keyCode, modifiers, std::move(action)));
    HotKey& result = *key;
    m_keys.emplace(id, std::move(key));
    return result;
}

void HotKeyRegistry::dispatch(quint32 id) {
    const HotKey* key = find(id);
    if (key && key->m_reference && key->m_action)
        key->m_action();
}

} // namespace quorvex
