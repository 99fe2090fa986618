#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace quorvex {

enum class LogLevel { Debug, Info, Error };

/// Where log lines go. The process has one; `Logger` formats and hands lines to it.
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void write(LogLevel level, std::string_view subsystem, std::string_view category,
                       std::string_view message) = 0;
};

/// One argument of a log message: text or a number.
using LogArgument = std::variant<std::string_view, double, long long, unsigned long long>;

/// Turns a system-logger style format ("Phase %{public}s for %f s") and its arguments into text.
/// Privacy marks are dropped from the conversions; a "%{private}" argument prints as "<private>".
std::string formatLogMessage(std::string_view format, const std::vector<LogArgument>& arguments);

/// Stands in for the system logger: a subsystem and a category, with debug and error levels.
/// Lines go to the process sink: standard error by default, syslog when QUORVEX_LOG=syslog,
/// nowhere when QUORVEX_LOG=none. Debug lines are written only when QUORVEX_LOG_LEVEL=debug,
/// and are not even formatted otherwise, so they cost nothing on busy paths. Thread-safe.
class Logger final {
public:
    Logger(std::string subsystem, std::string category);

    template <typename... Args> void debug(std::string_view format, const Args&... arguments) const {
        log(LogLevel::Debug, format, arguments...);
    }
    template <typename... Args> void info(std::string_view format, const Args&... arguments) const {
        log(LogLevel::Info, format, arguments...);
    }
    template <typename... Args> void error(std::string_view format, const Args&... arguments) const {
        log(LogLevel::Error, format, arguments...);
    }

    static bool isEnabled(LogLevel level);
    /// Replaces the process sink and its lowest level (tests capture lines this way). A null sink
    /// goes back to the one the environment selects.
    static void setSink(std::shared_ptr<LogSink> sink, LogLevel minimum = LogLevel::Debug);

private:
    template <typename... Args>
    void log(LogLevel level, std::string_view format, const Args&... arguments) const {
        if (!isEnabled(level))
            return;
        write(level, formatLogMessage(format, {toArgument(arguments)...}));
    }

    template <typename T> static LogArgument toArgument(const T& value) {
        if constexpr (std::is_convertible_v<const T&, std::string_view>)
            return std::string_view(value);
        else if constexpr (std::is_floating_point_v<T>)
            return static_cast<double>(value);
        else if constexpr (std::is_signed_v<T>)
            return static_cast<long long>(value);
        else
            return static_cast<unsigned long long>(value);
    }

    void write(LogLevel level, const std::string& message) const;

    std::string m_subsystem;
    std::string m_category;
};

} // namespace quorvex
