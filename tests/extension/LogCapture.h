#pragma once

#include "platform/core/Logger.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quorvex::test {

/// Captures the process's log lines for the lifetime of the object (debug level included).
class LogCapture final {
public:
    LogCapture()
        : m_sink(std::make_shared<Sink>()) {
        Logger::setSink(m_sink, LogLevel::Debug);
    }
    ~LogCapture() { Logger::setSink(nullptr); }

    std::vector<std::string> lines() const {
        std::lock_guard lock(m_sink->mutex);
        return m_sink->lines;
    }

    /// Called with each line as it is written (on the writing thread).
    void onLine(std::function<void(const std::string&)> observer) {
        std::lock_guard lock(m_sink->mutex);
        m_sink->observer = std::move(observer);
    }

private:
    struct Sink final : LogSink {
        void write(LogLevel, std::string_view subsystem, std::string_view category,
                   std::string_view message) override {
            std::function<void(const std::string&)> observer;
            std::string line =
                std::string(subsystem) + "[" + std::string(category) + "] " + std::string(message);
            {
                std::lock_guard lock(mutex);
                lines.push_back(line);
                observer = this->observer;
            }
            if (observer)
                observer(line);
        }
        mutable std::mutex mutex;
        std::vector<std::string> lines;
        std::function<void(const std::string&)> observer;
    };
    std::shared_ptr<Sink> m_sink;
};

} // namespace quorvex::test
