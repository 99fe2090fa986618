#pragma once

#include <QObject>
#include <QString>

#include <optional>

namespace quorvex {

/// The two action windows: open a URL, send a push.
enum class ActionWindowKind { deepLink, push };

/// What one push or open-URL window shows: the selected app and simulator and the text typed in
/// its composer. Lives as long as its window controller, so a closed window keeps what the user
/// typed. Setting a field to its current value notifies nobody. GUI thread.
class ActionWindowState final : public QObject {
    Q_OBJECT
public:
    explicit ActionWindowState(QObject* parent = nullptr);

    const std::optional<QString>& appID() const { return m_appID; }
    const std::optional<QString>& udid() const { return m_udid; }
    const QString& url() const { return m_url; }
    const QString& payload() const { return m_payload; }

    void setAppID(const std::optional<QString>& appID);
    void setUdid(const std::optional<QString>& udid);
    void setUrl(const QString& url);
    void setPayload(const QString& payload);

signals:
    void appIDChanged();
    void udidChanged();
    void urlChanged();
    void payloadChanged();

private:
    std::optional<QString> m_appID;
    std::optional<QString> m_udid;
    QString m_url;
    QString m_payload;
};

} // namespace quorvex
