// libFuzzer entry for what any local user can make the root network daemon read. The first byte
// picks the reader: a control request body (even), parsed and, where it carries one, read as a
// saved configuration with its plan, as the daemon does; or a client's first bytes on an
// intercepted flow (odd), read for the name it connected by.
#include "extension/ServerNameReader.h"
#include "network/control/ControlProtocol.h"
#include "network/plan/ThrottlePlan.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // An exact-size copy, so any read past the end leaves the allocation.
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    if (data[0] % 2 == 0) {
        const auto request = quorvex::ControlProtocol::parse(rest);
        if (!request || !request->is_object())
            return 0;
        if (const auto found = request->find("configuration"); found != request->end()) {
            if (const auto configuration = quorvex::ControlProtocol::configurationFromJson(*found);
                configuration && configuration->plan)
                (void)quorvex::ThrottlePlan::decode(*configuration->plan);
        }
        (void)request->dump(); // a reply or a log line prints what was parsed
    } else {
        (void)quorvex::ServerNameReader::read(rest);
    }
    return 0;
}
