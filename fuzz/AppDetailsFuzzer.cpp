// libFuzzer entry for the entitlements reader. The first byte picks what the rest is: an
// executable (even) for the Mach-O walk and the property-list parse of its section, or a
// property list (odd) for the checks made before libplist sees binary data.
#include "platform/data/PlistSettingsFormat.h"
#include "simulator/AppDetails.h"
#include "simulator/SimulatorApp.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // An exact-size copy, so any read past the end leaves the allocation.
    const QByteArray rest(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    if (data[0] % 2 == 0) {
        static const quorvex::SimulatorInstall install;
        const quorvex::ByteSpan bytes(reinterpret_cast<const std::uint8_t*>(rest.constData()), size - 1);
        (void)quorvex::AppDetails::fromExecutable(bytes, install);
    } else {
        bool ok = false;
        (void)quorvex::plistToVariant(rest, &ok);
    }
    return 0;
}
