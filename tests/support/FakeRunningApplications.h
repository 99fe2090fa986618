#pragma once

#include "storage/RunningApplications.h"

#include <map>

namespace quorvex::test {

/// Running applications as the test says: bundle paths by bundle identifier.
class FakeRunningApplications final : public RunningApplications {
public:
    std::map<QString, std::set<std::string>> running;
    std::set<std::string> bundlePaths(const QString& bundleID) const override {
        const auto found = running.find(bundleID);
        return found != running.end() ? found->second : std::set<std::string>{};
    }
};

} // namespace quorvex::test
