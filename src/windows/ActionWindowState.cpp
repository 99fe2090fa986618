#include "windows/ActionWindowState.h"

#include "actions/SimulatorActions.h"

namespace quorvex {

ActionWindowState::ActionWindowState(QObject* parent)
    : QObject(parent)
    , m_payload(SimulatorActions::pushTemplates().front().payload) {}

void ActionWindowState::setAppID(const std::optional<QString>& appID) {
    if (appID == m_appID)
        return;
    m_appID = appID;
    emit appIDChanged();
}

void ActionWindowState::setUdid(const std::optional<QString>& udid) {
    if (udid == m_udid)
        return;
    m_udid = udid;
    emit udidChanged();
}

void ActionWindowState::setUrl(const QString& url) {
    if (url == m_url)
        return;
    m_url = url;
    emit urlChanged();
}

void ActionWindowState::setPayload(const QString& payload) {
    if (payload == m_payload)
        return;
    m_payload = payload;
    emit payloadChanged();
}

} // namespace quorvex
