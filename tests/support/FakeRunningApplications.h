#pragma once

#include "storage/engine/RunningApplications.h"

#include <map>

namespace quorvex::test {

/// Running applications as the test says: bundle paths by bundle identifier. A quit request is
/// counted; the applications of an identifier in `quitting` end after that many more polls of
/// bundlePaths (0: at once), the others never do.
class FakeRunningApplications final : public RunningApplications {
public:
    std::map<QString, std::set<std::string>> running;
    std::map<QString, int> quitting;
    std::map<QString, int> quitRequests;
    void requestQuit(const QString& bundleID) override {
        ++quitRequests[bundleID];
        const auto found = quitting.find(bundleID);
        if (found != quitting.end() && found->second == 0)
            running.erase(bundleID);
    }
    std::set<std::string> bundlePaths(const QString& bundleID) const override {
        auto* self = const_cast<FakeRunningApplications*>(this);
        const auto ending = self->quitting.find(bundleID);
        if (ending != self->quitting.end() && quitRequests.count(bundleID) && ending->second-- <= 0)
            self->running.erase(bundleID);
        const auto found = running.find(bundleID);
        return found != running.end() ? found->second : std::set<std::string>{};
    }
};

} // namespace quorvex::test
