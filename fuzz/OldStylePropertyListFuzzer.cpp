// libFuzzer target for the old-style property-list reader: any input must give a value or an
// error, with no crash, no hang and no read out of range (the target runs under ASan and UBSan).
#include "platform/data/OldStylePropertyList.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QString error;
    const auto value = quorvex::OldStylePropertyList::parse(
        QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), &error);
    if (value.has_value() == !error.isEmpty())
        __builtin_trap(); // a result must be a value or an error, never both or neither
    return 0;
}
