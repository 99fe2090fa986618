#pragma once

// PROVISIONAL: the few types and the host normaliser of the network plan library that the menu
// uses, until that library is merged; then this file goes and its users include the real one.

#include <QString>

#include <optional>
#include <vector>

namespace quorvex {

struct LinkConditions {
    double downKbps = 0;
    double upKbps = 0;
    double downDelayMs = 0;
    double upDelayMs = 0;
    double packetLoss = 0;
    bool stalled = false;
};

struct NetworkProfile {
    struct Phase {
        QString label;
        double seconds = 0;
        LinkConditions conditions;
    };
    QString id;
    QString name;
    QString symbol;
    std::vector<Phase> phases;
};

namespace ThrottlePlan {
/// The host name in `text` (a host, host:port, URL or IP address), lower-cased; absent when the
/// text is no host name.
std::optional<QString> normalizeHost(const QString& text);
} // namespace ThrottlePlan

} // namespace quorvex
