#pragma once

#include "app/Services.h"

namespace quorvex {

/// Stands in for the storage cleaner window until it lands: says so in a toast.
class ProvisionalCleanerWindow final : public CleanerWindowService {
public:
    void show(const std::optional<QString>& section, const std::optional<SimulatorApp>& app) override;
};

} // namespace quorvex
