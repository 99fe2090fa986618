#include "network/plan/ThrottlePlan.h"

#include "network/plan/HashCombine.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <stdexcept>

namespace quorvex {

namespace {

using nlohmann::json;
using nlohmann::ordered_json;

// Thrown while reading; caught once at the top so a single bad field fails the whole plan.
struct DecodeError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

const json* member(const json& object, const char* key) {
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

const json& required(const json& object, const char* key, const std::string& where) {
    const json* value = member(object, key);
    if (!value)
        throw DecodeError(where + ": missing \"" + key + "\"");
    if (value->is_null())
        throw DecodeError(where + ": \"" + key + "\" is null");
    return *value;
}

void expectObject(const json& value, const std::string& where) {
    if (!value.is_object())
        throw DecodeError(where + ": not an object");
}

std::string readString(const json& value, const std::string& where) {
    if (!value.is_string())
        throw DecodeError(where + ": not a string");
    return value.get<std::string>();
}

double readDouble(const json& value, const std::string& where) {
    if (!value.is_number())
        throw DecodeError(where + ": not a number");
    return value.get<double>();
}

bool readBool(const json& value, const std::string& where) {
    if (!value.is_boolean())
        throw DecodeError(where + ": not a Boolean");
    return value.get<bool>();
}

// A signed 64-bit integer. A number written with a fraction part or an exponent is accepted only
// when its value is a whole number that fits, as a standard decoder would do.
std::int64_t readInteger(const json& value, const std::string& where) {
    if (value.is_number_integer() && !value.is_number_unsigned())
        return value.get<std::int64_t>();
    if (value.is_number_unsigned()) {
        const auto unsignedValue = value.get<std::uint64_t>();
        if (unsignedValue > static_cast<std::uint64_t>(INT64_MAX))
            throw DecodeError(where + ": integer out of range");
        return static_cast<std::int64_t>(unsignedValue);
    }
    if (value.is_number_float()) {
        const double number = value.get<double>();
        if (std::isfinite(number) && std::trunc(number) == number && number >= -9223372036854775808.0 &&
            number < 9223372036854775808.0)
            return static_cast<std::int64_t>(number);
        throw DecodeError(where + ": not an integer");
    }
    throw DecodeError(where + ": not a number");
}

std::optional<std::int64_t> optionalInteger(const json& object, const char* key, const std::string& where) {
    const json* value = member(object, key);
    if (!value || value->is_null())
        return std::nullopt;
    return readInteger(*value, where + "." + key);
}

LinkConditions readConditions(const json& value, const std::string& where) {
    expectObject(value, where);
    LinkConditions conditions;
    conditions.downKbps = optionalInteger(value, "downKbps", where);
    conditions.upKbps = optionalInteger(value, "upKbps", where);
    conditions.downDelayMs = readInteger(required(value, "downDelayMs", where), where + ".downDelayMs");
    conditions.upDelayMs = readInteger(required(value, "upDelayMs", where), where + ".upDelayMs");
    conditions.packetLoss = readDouble(required(value, "packetLoss", where), where + ".packetLoss");
    conditions.stalled = readBool(required(value, "stalled", where), where + ".stalled");
    return conditions;
}

NetworkProfile::Phase readPhase(const json& value, const std::string& where) {
    expectObject(value, where);
    NetworkProfile::Phase phase;
    phase.label = readString(required(value, "label", where), where + ".label");
    phase.seconds = readDouble(required(value, "seconds", where), where + ".seconds");
    phase.conditions = readConditions(required(value, "conditions", where), where + ".conditions");
    return phase;
}

ThrottlePlan::Rule readRule(const json& value, const std::string& where) {
    expectObject(value, where);
    ThrottlePlan::Rule rule;
    if (const json* bundle = member(value, "appBundle"); bundle && !bundle->is_null())
        rule.appBundle = readString(*bundle, where + ".appBundle");
    rule.profileID = readString(required(value, "profileID", where), where + ".profileID");
    const json& phases = required(value, "phases", where);
    if (!phases.is_array())
        throw DecodeError(where + ".phases: not an array");
    for (std::size_t i = 0; i < phases.size(); ++i)
        rule.phases.push_back(readPhase(phases[i], where + ".phases[" + std::to_string(i) + "]"));
    return rule;
}

} // namespace

ordered_json toJson(const LinkConditions& conditions) {
    ordered_json object = ordered_json::object();
    if (conditions.downKbps)
        object["downKbps"] = *conditions.downKbps;
    if (conditions.upKbps)
        object["upKbps"] = *conditions.upKbps;
    object["downDelayMs"] = conditions.downDelayMs;
    object["upDelayMs"] = conditions.upDelayMs;
    object["packetLoss"] = conditions.packetLoss;
    object["stalled"] = conditions.stalled;
    return object;
}

ordered_json toJson(const NetworkProfile::Phase& phase) {
    ordered_json object = ordered_json::object();
    object["label"] = phase.label;
    object["seconds"] = phase.seconds;
    object["conditions"] = toJson(phase.conditions);
    return object;
}

ordered_json toJson(const ThrottlePlan::Rule& rule) {
    ordered_json object = ordered_json::object();
    if (rule.appBundle)
        object["appBundle"] = *rule.appBundle;
    object["profileID"] = rule.profileID;
    ordered_json phases = ordered_json::array();
    for (const auto& phase : rule.phases)
        phases.push_back(toJson(phase));
    object["phases"] = std::move(phases);
    return object;
}

ordered_json ThrottlePlan::toJson() const {
    ordered_json object = ordered_json::object();
    ordered_json ruleArray = ordered_json::array();
    for (const Rule& rule : rules)
        ruleArray.push_back(quorvex::toJson(rule));
    object["rules"] = std::move(ruleArray);
    if (blockedHosts)
        object["blockedHosts"] = *blockedHosts;
    return object;
}

std::string ThrottlePlan::encode() const {
    // Invalid UTF-8 in a label or host must not throw out of the encoder; replace it instead.
    return toJson().dump(-1, ' ', false, ordered_json::error_handler_t::replace);
}

std::optional<ThrottlePlan> ThrottlePlan::fromJson(const json& value, std::string* error) {
    try {
        expectObject(value, "plan");
        ThrottlePlan plan;
        const json& rules = required(value, "rules", "plan");
        if (!rules.is_array())
            throw DecodeError("plan.rules: not an array");
        for (std::size_t i = 0; i < rules.size(); ++i)
            plan.rules.push_back(readRule(rules[i], "plan.rules[" + std::to_string(i) + "]"));
        if (const json* hosts = member(value, "blockedHosts"); hosts && !hosts->is_null()) {
            if (!hosts->is_array())
                throw DecodeError("plan.blockedHosts: not an array");
            std::vector<std::string> list;
            for (std::size_t i = 0; i < hosts->size(); ++i)
                list.push_back(readString((*hosts)[i], "plan.blockedHosts[" + std::to_string(i) + "]"));
            plan.blockedHosts = std::move(list);
        }
        return plan;
    } catch (const DecodeError& failure) {
        if (error)
            *error = failure.what();
        return std::nullopt;
    }
}

std::optional<ThrottlePlan> ThrottlePlan::decode(std::string_view bytes, std::string* error) {
    json value = json::parse(bytes.begin(), bytes.end(), nullptr, false);
    if (value.is_discarded()) {
        if (error)
            *error = "not valid JSON";
        return std::nullopt;
    }
    return fromJson(value, error);
}

bool ThrottlePlan::isUnlimited() const {
    for (const Rule& rule : rules)
        for (const auto& phase : rule.phases)
            if (!phase.conditions.isUnshaped())
                return false;
    return true;
}

} // namespace quorvex

std::size_t
std::hash<quorvex::ThrottlePlan::Rule>::operator()(const quorvex::ThrottlePlan::Rule& rule) const noexcept {
    std::size_t seed = 0;
    quorvex::hashCombine(seed, rule.appBundle);
    quorvex::hashCombine(seed, rule.profileID);
    for (const auto& phase : rule.phases)
        quorvex::hashCombine(seed, phase);
    return seed;
}
