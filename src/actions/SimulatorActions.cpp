#include "actions/SimulatorActions.h"

#include "actions/ActionsLog.h"
#include "platform/data/GuiThread.h"
#include "simulator/SimulatorApp.h"
#include "simulator/Toast.h"
#include "tools/Environment.h"

#include <QSettings>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace quorvex {
namespace {

using nlohmann::json;
using nlohmann::ordered_json;
using Kind = SimulatorActions::Kind;
using Preset = SimulatorActions::Preset;
using Recent = SimulatorActions::Recent;

const QString kPresetsKey = QStringLiteral("actionPresets");
const QString kHistoryKey = QStringLiteral("actionHistory");

// Stored dates count seconds from 2001-01-01 00:00:00 UTC, the reference date of the stores'
// original format.
constexpr qint64 kReferenceDateMsecs = 978'307'200'000;

// ---- Encoding (key order as the stores have always had it) ----

std::string utf8(const QString& text) {
    return text.toStdString();
}

std::string uuidText(const QUuid& id) {
    return id.toString(QUuid::WithoutBraces).toUpper().toStdString();
}

ordered_json toJson(const Kind& kind) {
    if (const auto* link = kind.asDeepLink())
        return ordered_json{{"deepLink", ordered_json{{"url", utf8(link->url)}}}};
    const auto* push = kind.asPush();
    return ordered_json{{"push", ordered_json{{"name", utf8(push->name)}, {"payload", utf8(push->payload)}}}};
}

ordered_json toJson(const Preset& preset) {
    ordered_json out = ordered_json::object();
    out["id"] = uuidText(preset.id);
    out["name"] = utf8(preset.name);
    out["kind"] = toJson(preset.kind);
    return out;
}

ordered_json toJson(const Recent& recent) {
    ordered_json out = ordered_json::object();
    out["id"] = uuidText(recent.id);
    out["kind"] = toJson(recent.kind);
    out["bundleID"] = utf8(recent.bundleID);
    out["appName"] = utf8(recent.appName);
    out["udid"] = utf8(recent.udid);
    out["deviceName"] = utf8(recent.deviceName);
    out["date"] = static_cast<double>(recent.date.toMSecsSinceEpoch() - kReferenceDateMsecs) / 1000.0;
    return out;
}

QByteArray dump(const ordered_json& value) {
    // Replacement keeps a string with a broken surrogate from failing the whole store.
    const std::string text = value.dump(-1, ' ', false, json::error_handler_t::replace);
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

// ---- Decoding: every key required, unknown keys ignored ----

[[noreturn]] void fail(const std::string& why) {
    throw std::runtime_error(why);
}

const json& field(const json& object, const char* key) {
    if (!object.is_object())
        fail("Expected to decode a dictionary.");
    const auto it = object.find(key);
    if (it == object.end())
        fail(std::string("No value associated with key \"") + key + "\".");
    return *it;
}

QString text(const json& object, const char* key) {
    const json& value = field(object, key);
    if (!value.is_string())
        fail(std::string("Expected to decode a string for key \"") + key + "\".");
    return QString::fromStdString(value.get_ref<const std::string&>());
}

QUuid uuid(const json& object, const char* key) {
    const QString value = text(object, key);
    const QUuid id = QUuid::fromString(value);
    const bool nil = value == QLatin1String("00000000-0000-0000-0000-000000000000");
    if (value.size() != 36 || (id.isNull() && !nil))
        fail("Attempted to decode a UUID from an invalid UUID string.");
    return id;
}

QDateTime date(const json& object, const char* key) {
    const json& value = field(object, key);
    if (!value.is_number())
        fail(std::string("Expected to decode a number for key \"") + key + "\".");
    const double seconds = value.get<double>();
    // Beyond a few thousand years the value is damage, not a date (and would overflow below).
    if (!std::isfinite(seconds) || std::fabs(seconds) > 1e11)
        fail("Date out of range.");
    return QDateTime::fromMSecsSinceEpoch(std::llround(seconds * 1000.0) + kReferenceDateMsecs, Qt::UTC);
}

Kind kindFromJson(const json& value) {
    if (!value.is_object())
        fail("Expected to decode a dictionary for an action kind.");
    if (value.size() != 1)
        fail("Invalid number of keys found, expected one.");
    const auto it = value.begin();
    if (it.key() == "deepLink")
        return Kind::deepLink(text(*it, "url"));
    if (it.key() == "push")
        return Kind::push(text(*it, "name"), text(*it, "payload"));
    fail("Unknown action kind \"" + it.key() + "\".");
}

Preset presetFromJson(const json& value) {
    return Preset{uuid(value, "id"), text(value, "name"), kindFromJson(field(value, "kind"))};
}

Recent recentFromJson(const json& value) {
    return Recent{uuid(value, "id"),       kindFromJson(field(value, "kind")),
                  text(value, "bundleID"), text(value, "appName"),
                  text(value, "udid"),     text(value, "deviceName"),
                  date(value, "date")};
}

json parse(const QByteArray& data) {
    try {
        return json::parse(data.begin(), data.end());
    } catch (const json::exception& error) {
        fail(error.what());
    }
}

std::optional<QByteArray> storedData(const QString& key) {
    const QVariant value = sharedDefaults().value(key);
    if (value.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return value.toByteArray();
}

template <typename Encode> void store(const QString& key, Encode encode) {
    try {
        sharedDefaults().setValue(key, encode());
    } catch (const std::exception& error) {
        qCWarning(actionsLog) << "Not stored:" << key << error.what();
        sharedDefaults().remove(key);
    }
}

} // namespace

QString SimulatorActions::Kind::title() const {
    if (const auto* link = asDeepLink())
        return QStringLiteral("Open ") + link->url;
    return QStringLiteral("Send Push \u201C") + asPush()->name + QStringLiteral("\u201D");
}

QByteArray SimulatorActions::encodePresets(const Presets& presets) {
    ordered_json out = ordered_json::object();
    for (const auto& [bundleID, list] : presets) {
        ordered_json array = ordered_json::array();
        for (const Preset& preset : list)
            array.push_back(toJson(preset));
        out[utf8(bundleID)] = std::move(array);
    }
    return dump(out);
}

SimulatorActions::Presets SimulatorActions::decodePresets(const QByteArray& data) {
    const json value = parse(data);
    if (!value.is_object())
        fail("Expected to decode a dictionary of presets.");
    Presets presets;
    for (const auto& [bundleID, list] : value.items()) {
        if (!list.is_array())
            fail("Expected to decode an array of presets.");
        std::vector<Preset>& target = presets[QString::fromStdString(bundleID)];
        for (const json& preset : list)
            target.push_back(presetFromJson(preset));
    }
    return presets;
}

QByteArray SimulatorActions::encodeHistory(const std::vector<Recent>& history) {
    ordered_json out = ordered_json::array();
    for (const Recent& recent : history)
        out.push_back(toJson(recent));
    return dump(out);
}

std::vector<SimulatorActions::Recent> SimulatorActions::decodeHistory(const QByteArray& data) {
    const json value = parse(data);
    if (!value.is_array())
        fail("Expected to decode an array of recent actions.");
    std::vector<Recent> history;
    for (const json& recent : value)
        history.push_back(recentFromJson(recent));
    return history;
}

SimulatorActions::SimulatorActions(QObject* parent)
    : QObject(parent) {
    if (const auto data = storedData(kPresetsKey)) {
        try {
            m_presets = decodePresets(*data);
        } catch (const std::exception& error) {
            qCWarning(actionsLog) << "Stored presets dropped:" << error.what();
            m_presets.clear();
        }
    }
    if (const auto data = storedData(kHistoryKey)) {
        try {
            m_history = decodeHistory(*data);
        } catch (const std::exception& error) {
            qCWarning(actionsLog) << "Stored history dropped:" << error.what();
            m_history.clear();
        }
    }
}

SimulatorActions& SimulatorActions::shared() {
    static SimulatorActions* instance = new SimulatorActions;
    return *instance;
}

void SimulatorActions::setPresets(Presets presets) {
    Q_ASSERT(isGuiThread());
    if (presets == m_presets)
        return;
    m_presets = std::move(presets);
    emit presetsChanged();
}

void SimulatorActions::savePreset(const Preset& preset, const QString& bundleID) {
    Q_ASSERT(isGuiThread());
    Presets next = m_presets;
    std::vector<Preset>& list = next[bundleID];
    // Payloads and URLs take no part: a name stands for one preset of each case.
    std::erase_if(
        list, [&](const Preset& old) { return old.name == preset.name && old.kind.isSameCase(preset.kind); });
    list.push_back(preset);
    setPresets(std::move(next));
    save();
}

void SimulatorActions::deletePreset(const QUuid& id, const QString& bundleID) {
    Q_ASSERT(isGuiThread());
    Presets next = m_presets;
    if (const auto it = next.find(bundleID); it != next.end())
        std::erase_if(it->second, [&](const Preset& preset) { return preset.id == id; });
    setPresets(std::move(next));
    save();
}

void SimulatorActions::record(const Kind& kind, const SimulatorApp& app, const SimulatorInstall& install) {
    Q_ASSERT(isGuiThread());
    std::vector<Recent> next = m_history;
    // App and device names take no part: they may have been renamed since.
    std::erase_if(next, [&](const Recent& old) {
        return old.kind == kind && old.bundleID == app.id && old.udid == install.udid;
    });
    next.insert(next.begin(), Recent{QUuid::createUuid(), kind, app.id, app.name, install.udid,
                                     install.deviceName, QDateTime::currentDateTimeUtc()});
    if (next.size() > kHistoryLimit)
        next.resize(kHistoryLimit);
    m_history = std::move(next);
    emit historyChanged();
    save();
}

void SimulatorActions::save() {
    store(kPresetsKey, [this] { return encodePresets(m_presets); });
    store(kHistoryKey, [this] { return encodeHistory(m_history); });
}

void SimulatorActions::repeatLast() {
    if (m_history.empty()) {
        Toast::show(QStringLiteral("Nothing to repeat yet"),
                    QStringLiteral("Open a deep link or send a push first."),
                    QStringLiteral("arrow.clockwise"), true);
        return;
    }
    repeat(m_history.front());
}

void SimulatorActions::repeat(const Recent& recent) {
    // The simulator is not looked up: one that is no longer booted makes the command fail.
    if (const auto error = send(recent.kind, recent.bundleID, recent.udid)) {
        Toast::show(QStringLiteral("Couldn\u2019t repeat"), *error,
                    QStringLiteral("exclamationmark.triangle"), true);
        return;
    }
    Toast::show(recent.kind.title(),
                QStringLiteral("Repeated for ") + recent.appName + QStringLiteral(" on ") + recent.deviceName,
                QStringLiteral("arrow.clockwise"), false);
}

std::optional<QString> SimulatorActions::perform(const Kind& kind, const SimulatorApp& app,
                                                 const SimulatorInstall& install) {
    if (auto error = send(kind, app.id, install.udid)) {
        QString title = kind.title();
        title[0] = title[0].toLower();
        Toast::show(QStringLiteral("Couldn\u2019t ") + title, *error,
                    QStringLiteral("exclamationmark.triangle"), true);
        return error;
    }
    record(kind, app, install);
    Toast::show(kind.title(), app.name + QStringLiteral(" on ") + install.deviceName,
                kind.asDeepLink() ? QStringLiteral("link") : QStringLiteral("bell.badge"), false);
    return std::nullopt;
}

} // namespace quorvex
