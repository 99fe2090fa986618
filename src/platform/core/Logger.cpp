#include "platform/core/Logger.h"

#include <syslog.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

namespace quorvex {

namespace {

const char* levelName(LogLevel level) {
    switch (level) {
    case LogLevel::Debug:
        return "debug";
    case LogLevel::Info:
        return "info";
    case LogLevel::Error:
        return "error";
    }
    return "?";
}

class StderrSink final : public LogSink {
public:
    void write(LogLevel level, std::string_view subsystem, std::string_view category,
               std::string_view message) override {
        const auto now = std::chrono::system_clock::now();
        const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
        const auto millis =
            std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
        std::tm local{};
        ::localtime_r(&seconds, &local);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
        std::fprintf(stderr, "%s.%03lld %.*s[%.*s] %s: %.*s\n", stamp, static_cast<long long>(millis),
                     static_cast<int>(subsystem.size()), subsystem.data(), static_cast<int>(category.size()),
                     category.data(), levelName(level), static_cast<int>(message.size()), message.data());
    }
};

class SyslogSink final : public LogSink {
public:
    void write(LogLevel level, std::string_view subsystem, std::string_view category,
               std::string_view message) override {
        const int priority = level == LogLevel::Error  ? LOG_ERR
                             : level == LogLevel::Info ? LOG_INFO
                                                       : LOG_DEBUG;
        ::syslog(priority, "%.*s[%.*s] %.*s", static_cast<int>(subsystem.size()), subsystem.data(),
                 static_cast<int>(category.size()), category.data(), static_cast<int>(message.size()),
                 message.data());
    }
};

class NullSink final : public LogSink {
public:
    void write(LogLevel, std::string_view, std::string_view, std::string_view) override {}
};

struct SinkState {
    std::mutex mutex;
    std::shared_ptr<LogSink> sink;
    LogLevel minimum = LogLevel::Info;
};

void selectFromEnvironment(SinkState& state) {
    const char* kind = std::getenv("QUORVEX_LOG");
    if (kind && std::strcmp(kind, "syslog") == 0)
        state.sink = std::make_shared<SyslogSink>();
    else if (kind && std::strcmp(kind, "none") == 0)
        state.sink = std::make_shared<NullSink>();
    else
        state.sink = std::make_shared<StderrSink>();
    const char* level = std::getenv("QUORVEX_LOG_LEVEL");
    state.minimum = level && std::strcmp(level, "debug") == 0   ? LogLevel::Debug
                    : level && std::strcmp(level, "error") == 0 ? LogLevel::Error
                                                                : LogLevel::Info;
}

SinkState& sinkState() {
    static SinkState* state = [] {
        auto* created = new SinkState; // never destroyed: loggers may run during static teardown
        selectFromEnvironment(*created);
        return created;
    }();
    return *state;
}

} // namespace

std::string formatLogMessage(std::string_view format, const std::vector<LogArgument>& arguments) {
    std::string result;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            result += format[i];
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            result += '%';
            ++i;
            continue;
        }
        std::string spec = "%";
        bool isPrivate = false;
        std::size_t j = i + 1;
        if (j < format.size() && format[j] == '{') {
            const auto close = format.find('}', j);
            if (close == std::string_view::npos)
                break;
            isPrivate = format.substr(j, close - j).find("private") != std::string_view::npos;
            j = close + 1;
        }
        while (j < format.size() && std::strchr("-+ #0123456789.lhzjt", format[j]))
            spec += format[j++];
        if (j >= format.size())
            break;
        const char conversion = format[j];
        i = j;
        if (next >= arguments.size()) {
            result += "<missing>";
            continue;
        }
        const LogArgument& argument = arguments[next++];
        if (isPrivate) {
            result += "<private>";
            continue;
        }
        char buffer[64];
        if (const auto* text = std::get_if<std::string_view>(&argument)) {
            result.append(text->data(), text->size());
        } else if (const auto* real = std::get_if<double>(&argument)) {
            spec += std::strchr("feEgGaA", conversion) ? conversion : 'f';
            std::snprintf(buffer, sizeof buffer, spec.c_str(), *real);
            result += buffer;
        } else if (const auto* whole = std::get_if<long long>(&argument)) {
            std::snprintf(buffer, sizeof buffer, "%lld", *whole);
            result += buffer;
        } else if (const auto* natural = std::get_if<unsigned long long>(&argument)) {
            std::snprintf(buffer, sizeof buffer, "%llu", *natural);
            result += buffer;
        }
    }
    return result;
}

Logger::Logger(std::string subsystem, std::string category)
    : m_subsystem(std::move(subsystem))
    , m_category(std::move(category)) {}

bool Logger::isEnabled(LogLevel level) {
    SinkState& state = sinkState();
    std::lock_guard lock(state.mutex);
    return level >= state.minimum;
}

void Logger::setSink(std::shared_ptr<LogSink> sink, LogLevel minimum) {
    SinkState& state = sinkState();
    std::lock_guard lock(state.mutex);
    if (sink) {
        state.sink = std::move(sink);
        state.minimum = minimum;
    } else {
        selectFromEnvironment(state);
    }
}

void Logger::write(LogLevel level, const std::string& message) const {
    SinkState& state = sinkState();
    std::shared_ptr<LogSink> sink;
    {
        std::lock_guard lock(state.mutex);
        sink = state.sink;
    }
    // Written outside the lock, so a sink may log or replace the sink without deadlocking.
    sink->write(level, m_subsystem, m_category, message);
}

} // namespace quorvex
