#include "app/NeighbourServices.h"

#include "app/provisional/ProvisionalActionWindows.h"
#include "app/provisional/ProvisionalCleanerWindow.h"
#include "app/provisional/ProvisionalCleanupFlows.h"
#include "app/provisional/ProvisionalDeviceFlows.h"
#include "app/provisional/ProvisionalDeviceHub.h"
#include "app/provisional/ProvisionalNetwork.h"
#include "simulator/SimulatorApps.h"

namespace quorvex {

NetworkService& NeighbourServices::sharedNetwork() {
    static NetworkService* network = new ProvisionalNetwork;
    return *network;
}

NeighbourServices& NeighbourServices::shared() {
    // The composition root of the neighbouring subsystems: each provisional line gives way to the
    // real subsystem when it lands.
    static NeighbourServices* services = new NeighbourServices{
        sharedNetwork(),
        *new ProvisionalDeviceHub(SimulatorApps::shared()),
        *new ProvisionalActionWindows,
        *new ProvisionalDeviceFlows,
        *new ProvisionalCleanupFlows,
        *new ProvisionalCleanerWindow,
    };
    return *services;
}

} // namespace quorvex
