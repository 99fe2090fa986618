#pragma once

#include "storage/cleaner/CleanupHUD.h"
#include "storage/engine/StorageCleanerModel.h"

namespace quorvex {

/// The cleaner model's clean as a run of the progress panel: it keeps the token of the run it
/// started, so its reports reach the panel only while that run is the latest one.
class CleanupHUDReporter final : public StorageCleanerModel::Progress {
public:
    explicit CleanupHUDReporter(CleanupHUD& hud)
        : m_hud(hud) {}

    void show(const QString& title) override { m_run = m_hud.show(title); }
    void update(std::int64_t done, std::int64_t total) override {
        m_hud.update(m_run, std::nullopt, CleanupProgress::Phase::deleting(done, total));
    }
    void finish(const ItemRemoval::Outcome& outcome) override {
        m_hud.update(m_run, outcome.title,
                     outcome.failed ? CleanupProgress::Phase::failure(outcome.text)
                                    : CleanupProgress::Phase::success(outcome.text));
    }

private:
    CleanupHUD& m_hud;
    CleanupHUD::RunToken m_run = 0;
};

} // namespace quorvex
