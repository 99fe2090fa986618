#pragma once

#include "app/NeighbourServices.h"

namespace quorvex {

/// Stands in for the connected-device flows until they land: no device is listed, because none
/// of its commands could run yet.
class ProvisionalDeviceFlows final : public DeviceFlowsService {
public:
    std::vector<PhysicalDevice> devices() const override { return {}; }
    std::vector<DeviceApp> apps(const QString&) const override { return {}; }
    void showPushWindow(const PhysicalDevice& device) override;
};

} // namespace quorvex
