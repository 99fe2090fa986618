#include "simulator/DeviceTools.h"

#include "tools/Environment.h"
#include "tools/FileGuards.h"
#include "tools/ToolPaths.h"
#include "tools/ToolRunner.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>

#include <unicode/uloc.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <fcntl.h>
#include <unistd.h>

namespace quorvex {
namespace {

constexpr const char* kSlowMotion = "com.apple.UIKit.SimulatorSlowMotionAnimationState";

std::optional<QByteArray> simctl(std::vector<std::string> arguments,
                                 std::chrono::milliseconds timeout = kDefaultToolTimeout) {
    arguments.insert(arguments.begin(), "simctl");
    return runTool(ToolPaths::xcrun(), arguments, timeout);
}

std::string utf8(const QString& text) {
    return text.toStdString();
}

QString decoded(const std::optional<QByteArray>& output) {
    return output ? QString::fromUtf8(*output) : QString();
}

bool isSpaceOrTab(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

QString trimmedSpacesAndTabs(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isSpaceOrTab(text[begin]))
        ++begin;
    while (end > begin && isSpaceOrTab(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

// The internet date-time form (RFC 3339 without fractional seconds), e.g. 2026-01-01T09:41:00Z,
// with the date and the time checked for real values.
bool isInternetDateTime(const QString& text) {
    // anchoredPattern, because "$" would also match before a final newline.
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QStringLiteral(R"((\d{4})-(\d{2})-(\d{2})T(\d{2}):(\d{2}):(\d{2})(Z|[+-](\d{2}):(\d{2})))")));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return false;
    auto number = [&](int group) { return match.captured(group).toInt(); };
    if (!QDate::isValid(number(1), number(2), number(3)) || !QTime::isValid(number(4), number(5), number(6)))
        return false;
    return match.captured(7) == QLatin1String("Z") || (number(8) <= 23 && number(9) <= 59);
}

QString clamped(std::int64_t value, std::int64_t low, std::int64_t high) {
    return QString::number(std::clamp(value, low, high));
}

bool startsWithLetter(const QString& text) {
    return !text.isEmpty() && text[0].isLetter();
}

// The region of a locale identifier ("en_GB", "de-CH", "fr_FR@calendar=gregorian"), as ICU parses it.
std::optional<QString> regionOfLocale(const QString& identifier) {
    char region[ULOC_COUNTRY_CAPACITY] = {};
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = uloc_getCountry(identifier.toUtf8().constData(), region, sizeof region, &status);
    if (U_FAILURE(status) || status == U_STRING_NOT_TERMINATED_WARNING || length <= 0)
        return std::nullopt;
    return QString::fromLatin1(region, length);
}

QString regionDisplayName(const char* code) {
    const std::string identifier = std::string("und_") + code;
    UChar name[256];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = uloc_getDisplayCountry(identifier.c_str(), nullptr, name, 256, &status);
    if (U_FAILURE(status) || status == U_USING_DEFAULT_WARNING || length <= 0 || length >= 256)
        return QString::fromLatin1(code);
    return QString(reinterpret_cast<const QChar*>(name), length);
}

bool lessByCodePoints(const QString& a, const QString& b) {
    return u_strCompare(reinterpret_cast<const UChar*>(a.utf16()), static_cast<int32_t>(a.size()),
                        reinterpret_cast<const UChar*>(b.utf16()), static_cast<int32_t>(b.size()), true) < 0;
}

// Seconds since 1970 as the shortest text that reads back to the same double, with a fractional
// part even for a whole number.
std::string secondsSince1970Text() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const double seconds = std::chrono::duration<double>(now).count();
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, seconds);
    std::string text(buffer, error == std::errc() ? end : buffer);
    if (text.find_first_of(".e") == std::string::npos)
        text += ".0";
    return text;
}

} // namespace

// ----------------------------------------------------------------------------------------------
// Status bar

const std::vector<DeviceTools::StatusBar::Network>& DeviceTools::StatusBar::allNetworks() {
    static const std::vector<Network> all{Network::wifi,  Network::fiveG,  Network::fiveGPlus, Network::lte,
                                          Network::fourG, Network::threeG, Network::hide};
    return all;
}

const std::vector<DeviceTools::StatusBar::Battery>& DeviceTools::StatusBar::allBatteries() {
    static const std::vector<Battery> all{Battery::charged, Battery::charging, Battery::discharging};
    return all;
}

QString DeviceTools::StatusBar::rawValue(Network network) {
    switch (network) {
    case Network::wifi:
        return QStringLiteral("wifi");
    case Network::fiveG:
        return QStringLiteral("5g");
    case Network::fiveGPlus:
        return QStringLiteral("5g+");
    case Network::lte:
        return QStringLiteral("lte");
    case Network::fourG:
        return QStringLiteral("4g");
    case Network::threeG:
        return QStringLiteral("3g");
    case Network::hide:
        return QStringLiteral("hide");
    }
    return {};
}

QString DeviceTools::StatusBar::rawValue(Battery battery) {
    switch (battery) {
    case Battery::charged:
        return QStringLiteral("charged");
    case Battery::charging:
        return QStringLiteral("charging");
    case Battery::discharging:
        return QStringLiteral("discharging");
    }
    return {};
}

std::optional<DeviceTools::StatusBar::Network>
DeviceTools::StatusBar::networkFromRaw(const QString& rawValue) {
    for (Network candidate : allNetworks())
        if (StatusBar::rawValue(candidate) == rawValue)
            return candidate;
    return std::nullopt;
}

std::optional<DeviceTools::StatusBar::Battery>
DeviceTools::StatusBar::batteryFromRaw(const QString& rawValue) {
    for (Battery candidate : allBatteries())
        if (StatusBar::rawValue(candidate) == rawValue)
            return candidate;
    return std::nullopt;
}

std::optional<QString> DeviceTools::StatusBar::normalizedTime() const {
    const QString trimmed = trimmedSpacesAndTabs(time);
    if (trimmed.isEmpty())
        return QStringLiteral("9:41");
    static const QRegularExpression clock(
        QRegularExpression::anchoredPattern(QStringLiteral(R"(([01]?[0-9]|2[0-3]):[0-5][0-9])")));
    if (clock.match(trimmed).hasMatch() || isInternetDateTime(trimmed))
        return trimmed;
    return std::nullopt;
}

QStringList DeviceTools::StatusBar::arguments() const {
    return {QStringLiteral("--time"),         normalizedTime().value_or(QStringLiteral("9:41")),
            QStringLiteral("--dataNetwork"),  rawValue(network),
            QStringLiteral("--wifiMode"),     QStringLiteral("active"),
            QStringLiteral("--wifiBars"),     clamped(wifiBars, 0, 3),
            QStringLiteral("--cellularMode"), QStringLiteral("active"),
            QStringLiteral("--cellularBars"), clamped(cellularBars, 0, 4),
            QStringLiteral("--operatorName"), operatorName,
            QStringLiteral("--batteryState"), rawValue(battery),
            QStringLiteral("--batteryLevel"), clamped(batteryLevel, 0, 100)};
}

bool DeviceTools::overrideStatusBar(const StatusBar& statusBar, const QString& udid) {
    std::vector<std::string> arguments{"status_bar", utf8(udid), "override"};
    for (const QString& argument : statusBar.arguments())
        arguments.push_back(utf8(argument));
    return simctl(arguments).has_value();
}

bool DeviceTools::hasStatusBarOverrides(const QString& udid) {
    const auto output = simctl({"status_bar", utf8(udid), "list"});
    return output && parseStatusBarOverrides(*output);
}

bool DeviceTools::parseStatusBarOverrides(const QByteArray& output) {
    const QStringList lines = QString::fromUtf8(output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const QString piece = trimmedSpacesAndTabs(line);
        if (piece.isEmpty() || piece.startsWith(QLatin1String("Current Status Bar Overrides")))
            continue;
        if (std::any_of(piece.cbegin(), piece.cend(), [](QChar c) { return c != QLatin1Char('='); }))
            return true;
    }
    return false;
}

bool DeviceTools::clearStatusBar(const QString& udid) {
    return runSimctl(QStringLiteral("status_bar"), udid, QStringLiteral("clear"));
}

// ----------------------------------------------------------------------------------------------
// Gestures and events

bool DeviceTools::shake(const QString& udid) {
    return simctl({"spawn", utf8(udid), "notifyutil", "-p", "com.apple.UIKit.SimulatorShake"}).has_value();
}

std::filesystem::path DeviceTools::memoryWarningFile(const QString& udid) {
    return homeDirectoryURL() / "Library" /
           ("Developer/CoreSimulator/Devices/" + utf8(udid) + "/data/var/run/memory_warning_simulation");
}

bool DeviceTools::simulateMemoryWarning(const QString& udid) {
    const std::filesystem::path file = memoryWarningFile(udid);
    if (!itemExists(file) || isSymbolicLink(file))
        return false;
    // No O_CREAT: only the simulator creates the file. O_NOFOLLOW closes the gap between the link
    // test and the open; O_NONBLOCK keeps a FIFO put in its place from blocking the caller.
    const int fd = ::open(file.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    const std::string text = secondsSince1970Text();
    size_t written = 0;
    bool ok = true;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        written += static_cast<size_t>(n);
    }
    return ::close(fd) == 0 && ok;
}

bool DeviceTools::slowAnimations(const QString& udid) {
    return slowAnimations(udid, kDefaultToolTimeout);
}

bool DeviceTools::slowAnimations(const QString& udid, std::chrono::milliseconds timeout) {
    const QString output = decoded(simctl({"spawn", utf8(udid), "notifyutil", "-g", kSlowMotion}, timeout));
    const QStringList pieces = output.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    return !pieces.isEmpty() && pieces.last() == QLatin1String("1");
}

bool DeviceTools::setSlowAnimations(bool on, const QString& udid) {
    if (!simctl({"spawn", utf8(udid), "notifyutil", "-s", kSlowMotion, on ? "1" : "0"}))
        return false;
    return simctl({"spawn", utf8(udid), "notifyutil", "-p", kSlowMotion}).has_value();
}

// ----------------------------------------------------------------------------------------------
// Appearance

std::optional<QString> DeviceTools::appearance(const QString& udid) {
    const auto output = simctl({"ui", utf8(udid), "appearance"});
    if (!output)
        return std::nullopt;
    const QString value = QString::fromUtf8(*output).trimmed();
    if (value == QLatin1String("light") || value == QLatin1String("dark"))
        return value;
    return std::nullopt;
}

bool DeviceTools::setAppearance(const QString& udid, const QString& value) {
    if (value != QLatin1String("light") && value != QLatin1String("dark"))
        return false;
    return simctl({"ui", utf8(udid), "appearance", utf8(value)}).has_value();
}

std::optional<QString> DeviceTools::toggleAppearance(const QString& udid) {
    const QString target =
        appearance(udid) == QStringLiteral("dark") ? QStringLiteral("light") : QStringLiteral("dark");
    if (!setAppearance(udid, target))
        return std::nullopt;
    return target;
}

// ----------------------------------------------------------------------------------------------
// Language and region

DeviceTools::LanguageAndRegion DeviceTools::languageAndRegion(const QString& udid) {
    LanguageAndRegion result;
    const QString languages =
        decoded(simctl({"spawn", utf8(udid), "defaults", "read", "-g", "AppleLanguages"}));
    static const QRegularExpression separators(QStringLiteral("[(),\\n\" ]"));
    const QStringList pieces = languages.split(separators, Qt::SkipEmptyParts);
    if (!pieces.isEmpty())
        result.language = pieces.first();

    const auto locale = simctl({"spawn", utf8(udid), "defaults", "read", "-g", "AppleLocale"});
    if (locale)
        result.region = regionOfLocale(QString::fromUtf8(*locale).trimmed());
    return result;
}

bool DeviceTools::setLanguageAndRegion(const QString& language, const QString& region, const QString& udid) {
    // An empty language (or one like "-") would write AppleLanguages ("") and a locale "_GB",
    // which leaves the simulator without a usable language.
    const bool languageOk = startsWithLetter(language) &&
                            std::all_of(language.cbegin(), language.cend(),
                                        [](QChar c) { return c.isLetter() || c == QLatin1Char('-'); });
    const bool regionOk = region.size() == 2 &&
                          std::all_of(region.cbegin(), region.cend(), [](QChar c) { return c.isLetter(); });
    if (!languageOk || !regionOk)
        return false;

    const QString languageCode = language.section(QLatin1Char('-'), 0, 0).toLower();
    const bool languagesWritten =
        simctl({"spawn", utf8(udid), "defaults", "write", "-g", "AppleLanguages", "-array", utf8(language)})
            .has_value();
    const bool localeWritten = simctl({"spawn", utf8(udid), "defaults", "write", "-g", "AppleLocale",
                                       "-string", utf8(languageCode + QLatin1Char('_') + region.toUpper())})
                                   .has_value();
    return languagesWritten && localeWritten;
}

const QStringList& DeviceTools::regionCodes() {
    static const QStringList codes = [] {
        std::vector<std::pair<QString, QString>> named; // (display name, code)
        for (const char* const* code = uloc_getISOCountries(); code && *code; ++code) {
            const QString text = QString::fromLatin1(*code);
            if (text.size() == 2 &&
                std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isLetter(); }))
                named.emplace_back(regionDisplayName(*code), text);
        }
        std::stable_sort(named.begin(), named.end(),
                         [](const auto& a, const auto& b) { return lessByCodePoints(a.first, b.first); });
        QStringList result;
        for (const auto& entry : named)
            result.append(entry.second);
        return result;
    }();
    return codes;
}

// ----------------------------------------------------------------------------------------------
// Apps and content

bool DeviceTools::runSimctl(const QString& verb, const QString& udid, const QString& argument) {
    return simctl({utf8(verb), utf8(udid), utf8(argument)}).has_value();
}

bool DeviceTools::runAppCommand(const QString& verb, const QString& bundleID, const QString& udid) {
    return simctl({utf8(verb), utf8(udid), utf8(bundleID)}).has_value();
}

bool DeviceTools::terminateApp(const QString& bundleID, const QString& udid) {
    return runAppCommand(QStringLiteral("terminate"), bundleID, udid);
}

bool DeviceTools::launchApp(const QString& bundleID, const QString& udid) {
    return runAppCommand(QStringLiteral("launch"), bundleID, udid);
}

bool DeviceTools::resetKeychain(const QString& udid) {
    return runSimctl(QStringLiteral("keychain"), udid, QStringLiteral("reset"));
}

bool DeviceTools::addRootCertificate(const std::filesystem::path& certificate, const QString& udid) {
    return simctl({"keychain", utf8(udid), "add-root-cert", certificate.string()}).has_value();
}

bool DeviceTools::addMedia(const std::vector<std::filesystem::path>& files, const QString& udid) {
    if (files.empty())
        return true;
    std::vector<std::string> arguments{"addmedia", utf8(udid)};
    for (const std::filesystem::path& file : files)
        arguments.push_back(file.string());
    // Media import time grows with the files; a cut-off would report a half import as failed.
    return simctl(arguments, kNoToolTimeout).has_value();
}

bool DeviceTools::installApp(const std::filesystem::path& bundle, const QString& udid) {
    // Judge the extension of the bundle's own name, also when the path ends in "/".
    std::filesystem::path name = bundle.filename();
    if (name.empty())
        name = bundle.parent_path().filename();
    const QString extension = QString::fromStdString(name.extension().string()).toLower();
    if (extension != QLatin1String(".app"))
        return false;
    // A large app takes as long as it takes; killing simctl midway leaves the install undone.
    return simctl({"install", utf8(udid), bundle.string()}, kNoToolTimeout).has_value();
}

} // namespace quorvex
