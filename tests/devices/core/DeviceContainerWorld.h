#pragma once

#include "devices/core/DeviceApp.h"
#include "devices/core/PhysicalDevice.h"

#include <string>
#include <vector>

namespace quorvex::test {

/// The connected device and app the container copy tests work on.
inline const PhysicalDevice kContainerDevice{"D1", "Ana’s iPhone", {}, {}, {}};
inline const DeviceApp kContainerApp{"com.demo.maps", "Maps", std::nullopt, std::nullopt};

/// devicectl's copy of that app's data container to the host, as the fake xcrun's rules match it:
/// the destination is argument 13 and left open ("*").
inline std::vector<std::string> containerCopyFromArgs() {
    return {"devicectl",
            "device",
            "copy",
            "from",
            "--device",
            "D1",
            "--domain-type",
            "appDataContainer",
            "--domain-identifier",
            "com.demo.maps",
            "--source",
            "/",
            "--destination",
            "*",
            "-q"};
}

} // namespace quorvex::test
