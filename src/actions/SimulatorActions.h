#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QUuid>

#include <map>
#include <optional>
#include <variant>
#include <vector>

namespace quorvex {

struct SimulatorApp;
struct SimulatorInstall;

/// The two actions a developer repeats all day on a simulator app, opening a deep link and
/// sending a push, with per-app presets and one history of recent successful actions. Both are
/// kept in the user defaults ("actionPresets", "actionHistory") and saved on every change.
/// Lives on the GUI thread; delivery runs its one tool call synchronously there.
class SimulatorActions final : public QObject {
    Q_OBJECT
public:
    /// What an action does: open a URL, or send a push payload under a display name.
    struct Kind {
        struct DeepLink {
            QString url;
            bool operator==(const DeepLink&) const = default;
        };
        struct Push {
            QString name;
            QString payload; // JSON as the user typed it
            bool operator==(const Push&) const = default;
        };

        std::variant<DeepLink, Push> value;

        static Kind deepLink(QString url) { return {DeepLink{std::move(url)}}; }
        static Kind push(QString name, QString payload) {
            return {Push{std::move(name), std::move(payload)}};
        }
        const DeepLink* asDeepLink() const { return std::get_if<DeepLink>(&value); }
        const Push* asPush() const { return std::get_if<Push>(&value); }
        bool isSameCase(const Kind& other) const { return value.index() == other.value.index(); }

        /// "Open <url>", or "Send Push “<name>”".
        QString title() const;

        bool operator==(const Kind&) const = default;
    };

    /// A named action saved for one app.
    struct Preset {
        QUuid id = QUuid::createUuid();
        QString name;
        Kind kind;
        bool operator==(const Preset&) const = default;
    };

    /// One successful action, as recorded in the history.
    struct Recent {
        QUuid id;
        Kind kind;
        QString bundleID;
        QString appName;
        QString udid; // the simulator it went to
        QString deviceName;
        QDateTime date; // when it was recorded
        bool operator==(const Recent&) const = default;
    };

    /// One row of the push templates.
    struct PushTemplate {
        QString name;
        QString payload;
    };

    using Presets = std::map<QString, std::vector<Preset>>; // bundle ID -> presets, in saved order

    static constexpr size_t kHistoryLimit = 15;

    /// Loads both stores; unreadable ones start empty.
    explicit SimulatorActions(QObject* parent = nullptr);

    /// The process-wide instance, created on first use and never released.
    static SimulatorActions& shared();

    const Presets& presets() const { return m_presets; }
    const std::vector<Recent>& history() const { return m_history; }

    /// Adds the preset to the app's list, replacing any preset of the same case and name.
    void savePreset(const Preset& preset, const QString& bundleID);
    void deletePreset(const QUuid& id, const QString& bundleID);

    /// Delivers the action to the app on the install's simulator; on success records it in the
    /// history. Either way one toast reports the result. Returns the error text, if any.
    std::optional<QString> perform(const Kind& kind, const SimulatorApp& app,
                                   const SimulatorInstall& install);
    /// Repeats the newest history entry (a failed toast when there is none).
    void repeatLast();
    /// Delivers a recorded action again, to the simulator it went to; the history stays as it is.
    void repeat(const Recent& recent);

    /// Writes both stores.
    void save();

    /// Delivers one action: `simctl openurl` for a deep link, a temporary payload file and
    /// `simctl push` for a push. Returns the text to show the user on failure.
    static std::optional<QString> send(const Kind& kind, const QString& bundleID, const QString& udid);
    /// The one check of a push payload: a JSON object with an "aps" object. Returns the message
    /// to show when it fails. Pure; any thread.
    static std::optional<QString> validatePushPayload(const QString& text);
    /// The payload templates the push windows offer, in menu order.
    static const std::vector<PushTemplate>& pushTemplates();

    /// The stored forms: compact UTF-8 JSON. Decoding throws std::runtime_error (with the
    /// reason) on any malformed part, so a store is read whole or not at all.
    static QByteArray encodePresets(const Presets& presets);
    static Presets decodePresets(const QByteArray& data);
    static QByteArray encodeHistory(const std::vector<Recent>& history);
    static std::vector<Recent> decodeHistory(const QByteArray& data);

signals:
    void presetsChanged();
    void historyChanged();

private:
    void record(const Kind& kind, const SimulatorApp& app, const SimulatorInstall& install);
    void setPresets(Presets presets);

    Presets m_presets;
    std::vector<Recent> m_history;
};

} // namespace quorvex
