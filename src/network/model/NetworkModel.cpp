#include "network/model/NetworkModel.h"

#include "network/model/NetworkLog.h"
#include "network/model/SetupGuide.h"
#include "platform/core/Logger.h"
#include "platform/gui/Dialogs.h"

#include <QPointer>
#include <QSettings>
#include <QStringList>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <set>

namespace quorvex {
namespace {

const QString kAppProfilesKey = QStringLiteral("appProfiles");
const QString kHostRulesKey = QStringLiteral("hostRules");

const Logger& networkLog() {
    static const Logger logger("com.zelmora.Quorvex", "network");
    return logger;
}

NetworkProfile noLimitProfile() {
    return *NetworkProfile::builtIn("unlimited");
}

std::optional<nlohmann::json> readJson(const QSettings& defaults, const QString& key) {
    const QByteArray data = defaults.value(key).toByteArray();
    if (data.isEmpty())
        return std::nullopt;
    auto json = nlohmann::json::parse(data.begin(), data.end(), nullptr, false);
    if (json.is_discarded())
        return std::nullopt;
    return json;
}

std::map<QString, NetworkService::AppNetwork> readChoice(const QSettings& defaults) {
    std::map<QString, NetworkService::AppNetwork> choice;
    const auto json = readJson(defaults, kAppProfilesKey);
    if (!json || !json->is_object())
        return {};
    for (const auto& [bundleID, entry] : json->items()) {
        if (!entry.is_object() || !entry.contains("app") || !entry.contains("profileID") ||
            !entry["profileID"].is_string())
            return {}; // one bad entry makes the whole value unreadable
        auto app = simulatorAppFromJson(entry["app"]);
        if (!app)
            return {};
        choice[QString::fromStdString(bundleID)] = {
            *app, QString::fromStdString(entry["profileID"].get<std::string>())};
    }
    return choice;
}

std::vector<NetworkService::HostRule> readHostRules(const QSettings& defaults) {
    std::vector<NetworkService::HostRule> rules;
    const auto json = readJson(defaults, kHostRulesKey);
    if (!json || !json->is_array())
        return {};
    for (const auto& entry : *json) {
        if (!entry.is_object() || !entry.contains("host") || !entry["host"].is_string() ||
            !entry.contains("enabled") || !entry["enabled"].is_boolean())
            return {};
        rules.push_back(
            {QString::fromStdString(entry["host"].get<std::string>()), entry["enabled"].get<bool>()});
    }
    return rules;
}

} // namespace

NetworkModel::NetworkModel(ProxyControl& proxy, SetupGuide& guide, QSettings& defaults, QObject* parent)
    : NetworkService(parent)
    , m_proxy(proxy)
    , m_guide(guide)
    , m_defaults(defaults) {
    QPointer<NetworkModel> self(this);
    m_proxy.onApprovalChange = [self](bool awaiting) {
        if (self)
            self->assign(self->m_awaitingApproval, awaiting);
    };
    m_proxy.onProxyAllowanceChange = [self](bool awaiting) {
        if (self)
            self->assign(self->m_awaitingProxyAllowance, awaiting);
    };
    m_proxy.onObstacleChange = [self](SetupObstacle obstacle) {
        if (self)
            self->assign(self->m_obstacle, obstacle);
    };
    restore();
}

NetworkModel::~NetworkModel() {
    m_proxy.onApprovalChange = nullptr;
    m_proxy.onProxyAllowanceChange = nullptr;
    m_proxy.onObstacleChange = nullptr;
}

void NetworkModel::restore() {
    // Hosts come back disabled; they and the app choices take effect again only when the proxy
    // still runs with a plan, which then says which hosts it blocks.
    m_hostRules = readHostRules(m_defaults);
    for (HostRule& rule : m_hostRules)
        rule.enabled = false;
    QPointer<NetworkModel> self(this);
    m_proxy.runningPlan([self](std::optional<ThrottlePlan> plan) {
        if (!self || !plan)
            return;
        self->m_choice = readChoice(self->m_defaults);
        const auto blocked = plan->blockedHosts.value_or(std::vector<std::string>{});
        for (HostRule& rule : self->m_hostRules)
            rule.enabled =
                std::find(blocked.begin(), blocked.end(), rule.host.toStdString()) != blocked.end();
        emit self->stateChanged();
    });
}

template <typename T> void NetworkModel::assign(T& field, T value) {
    if (field == value)
        return;
    field = value;
    emit stateChanged();
}

ThrottlePlan NetworkModel::buildPlan(const std::map<QString, AppNetwork>& choice,
                                     const std::vector<HostRule>& rules) {
    ThrottlePlan plan;
    for (const auto& [bundleID, entry] : choice) {
        const auto profile = NetworkProfile::builtIn(entry.profileID.toStdString());
        if (!profile)
            continue;
        plan.rules.push_back({entry.app.bundleFolder.toStdString(), profile->id, profile->phases});
    }
    plan.blockedHosts.emplace();
    for (const HostRule& rule : rules)
        if (rule.enabled)
            plan.blockedHosts->push_back(rule.host.toStdString());
    return plan;
}

bool NetworkModel::isActive() const {
    const ThrottlePlan plan = buildPlan(m_choice, m_hostRules);
    return !plan.isUnlimited() || !plan.blockedHosts->empty();
}

QString NetworkModel::summary() const {
    std::set<QString> names;
    for (const auto& [bundleID, entry] : m_choice) {
        const auto profile = NetworkProfile::builtIn(entry.profileID.toStdString());
        if (profile && profile->id != "unlimited")
            names.insert(QString::fromStdString(profile->name));
    }
    QStringList parts;
    if (!names.empty())
        parts << QStringList(names.begin(), names.end()).join(QStringLiteral(", "));
    const auto blocked = std::count_if(m_hostRules.begin(), m_hostRules.end(),
                                       [](const HostRule& rule) { return rule.enabled; });
    if (blocked > 0)
        parts << QStringLiteral("%1 blocked host%2").arg(blocked).arg(blocked == 1 ? "" : "s");
    return parts.join(QStringLiteral(" · "));
}

NetworkProfile NetworkModel::profile(const SimulatorApp& app) const {
    const auto entry = m_choice.find(app.id);
    if (entry == m_choice.end())
        return noLimitProfile();
    return NetworkProfile::builtIn(entry->second.profileID.toStdString()).value_or(noLimitProfile());
}

void NetworkModel::setProfile(const NetworkProfile& profile, const SimulatorApp& app) {
    auto choice = m_choice;
    if (profile.id == "unlimited")
        choice.erase(app.id);
    else
        choice[app.id] = {app, QString::fromStdString(profile.id)};
    apply(std::move(choice), m_hostRules, profile);
}

bool NetworkModel::addHostRule(const QString& text) {
    const auto host = ThrottlePlan::normalizeHost(text.toStdString());
    if (!host)
        return false;
    const QString normalised = QString::fromStdString(*host);
    auto rules = m_hostRules;
    std::erase_if(rules, [&](const HostRule& rule) { return rule.host == normalised; });
    rules.push_back({normalised, true});
    apply(m_choice, std::move(rules), noLimitProfile());
    return true;
}

void NetworkModel::toggleHostRule(const QString& host) {
    auto rules = m_hostRules;
    for (HostRule& rule : rules)
        if (rule.host == host)
            rule.enabled = !rule.enabled;
    apply(m_choice, std::move(rules), noLimitProfile());
}

void NetworkModel::removeHostRule(const QString& host) {
    auto rules = m_hostRules;
    std::erase_if(rules, [&](const HostRule& rule) { return rule.host == host; });
    apply(m_choice, std::move(rules), noLimitProfile());
}

void NetworkModel::showSetupGuideTour(const NetworkProfile& profile) {
    m_guide.showTour(profile);
}

void NetworkModel::apply(std::map<QString, AppNetwork> choice, std::vector<HostRule> rules,
                         const NetworkProfile& profile) {
    if (choice == m_choice && rules == m_hostRules)
        return;
    if (m_isBusy || m_lookingUp)
        return; // dropped, not queued: the user sees the old state and may try again
    QPointer<NetworkModel> self(this);
    auto reportIfFailed = [self](std::optional<QString> error) {
        if (self && error)
            self->reportFailure(*error);
    };
    const ThrottlePlan plan = buildPlan(choice, rules);
    if (plan.isUnlimited() && plan.blockedHosts->empty()) {
        // Turning everything off needs no setup.
        commit(std::move(choice), std::move(rules), reportIfFailed);
        return;
    }
    m_lookingUp = true;
    m_proxy.hasConfiguration([self, choice = std::move(choice), rules = std::move(rules), profile,
                              reportIfFailed](bool configured) mutable {
        if (!self)
            return;
        self->m_lookingUp = false;
        if (configured) {
            self->commit(std::move(choice), std::move(rules), reportIfFailed);
            return;
        }
        // The guide reports a failure of the waiting change itself.
        self->m_guide.begin(profile, [self, choice, rules](ProxyControl::Completion done) {
            if (!self) {
                done(QStringLiteral("The network settings are no longer available."));
                return;
            }
            self->commit(choice, rules, std::move(done));
        });
    });
}

void NetworkModel::commit(std::map<QString, AppNetwork> choice, std::vector<HostRule> rules,
                          ProxyControl::Completion done) {
    m_commits.push_back({std::move(choice), std::move(rules), std::move(done)});
    if (!m_committing)
        runNextCommit();
}

void NetworkModel::runNextCommit() {
    if (m_commits.empty()) {
        m_committing = false;
        return;
    }
    m_committing = true;
    m_isBusy = true;
    m_lastError.reset();
    emit stateChanged();
    const ThrottlePlan plan = buildPlan(m_commits.front().choice, m_commits.front().rules);
    QPointer<NetworkModel> self(this);
    m_proxy.apply(plan, [self](std::optional<QString> error) {
        if (!self)
            return;
        Commit finished = std::move(self->m_commits.front());
        self->m_commits.pop_front();
        if (error) {
            self->m_lastError = error;
        } else {
            self->m_choice = std::move(finished.choice);
            self->m_hostRules = std::move(finished.rules);
            self->save();
        }
        self->m_isBusy = false;
        emit self->stateChanged();
        if (finished.done)
            finished.done(error);
        if (self)
            self->runNextCommit();
    });
}

void NetworkModel::reportFailure(const QString& error) {
    networkLog().error("Applying network choice failed: %{public}s", error.toStdString());
    Alert alert;
    alert.message = QStringLiteral("Couldn’t change the simulator network");
    alert.informativeText = error;
    alert.style = Alert::Style::Warning;
    Dialogs::shared().runAlert(alert);
}

void NetworkModel::save() {
    // A value that cannot be encoded is removed rather than left stale beside the other.
    try {
        nlohmann::json choice = nlohmann::json::object();
        for (const auto& [bundleID, entry] : m_choice)
            choice[bundleID.toStdString()] = {{"app", toJson(entry.app)},
                                              {"profileID", entry.profileID.toStdString()}};
        m_defaults.setValue(kAppProfilesKey, QByteArray::fromStdString(choice.dump(
                                                 -1, ' ', false, nlohmann::json::error_handler_t::replace)));
    } catch (const nlohmann::json::exception& failure) {
        qCWarning(networkSideLog) << "Network choices not stored:" << failure.what();
        m_defaults.remove(kAppProfilesKey);
    }
    try {
        nlohmann::json rules = nlohmann::json::array();
        for (const HostRule& rule : m_hostRules)
            rules.push_back({{"host", rule.host.toStdString()}, {"enabled", rule.enabled}});
        m_defaults.setValue(kHostRulesKey, QByteArray::fromStdString(rules.dump(
                                               -1, ' ', false, nlohmann::json::error_handler_t::replace)));
    } catch (const nlohmann::json::exception& failure) {
        qCWarning(networkSideLog) << "Blocked hosts not stored:" << failure.what();
        m_defaults.remove(kHostRulesKey);
    }
    m_defaults.sync();
}

void NetworkModel::stopProxyForQuit(std::function<void()> done) {
    m_proxy.stopTunnel(std::move(done));
}

void NetworkModel::resetSetup(std::function<void(std::optional<QString> error)> done) {
    m_proxy.resetSetup(std::move(done));
}

} // namespace quorvex
