#pragma once

#include "platform/gui/Workspace.h"

#include <filesystem>
#include <vector>

namespace quorvex::test {

/// A Workspace that only records what it was asked to open or reveal.
class RecordingWorkspace final : public Workspace {
public:
    enum class Action { Open, Reveal };
    struct Request {
        Action action;
        std::filesystem::path path;
        bool operator==(const Request&) const = default;
    };

    bool openPath(const std::filesystem::path& path) override {
        m_requests.push_back({Action::Open, path});
        return m_openSucceeds;
    }
    void revealInFileManager(const std::filesystem::path& path) override {
        m_requests.push_back({Action::Reveal, path});
    }

    const std::vector<Request>& requests() const { return m_requests; }
    void clear() { m_requests.clear(); }
    /// What openPath answers from now on (true unless told).
    void setOpenSucceeds(bool succeeds) { m_openSucceeds = succeeds; }

private:
    std::vector<Request> m_requests;
    bool m_openSucceeds = true;
};

} // namespace quorvex::test
