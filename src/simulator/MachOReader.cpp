#include "simulator/MachOReader.h"

#include <algorithm>
#include <cstring>

namespace quorvex {
namespace {

constexpr std::uint32_t kMagic64 = 0xFEEDFACF;
constexpr std::uint32_t kFatMagic = 0xCAFEBABE; // as read big-endian
constexpr std::uint32_t kSegment64 = 0x19;
constexpr std::uint64_t kHeaderSize = 32;
constexpr std::uint64_t kFatEntrySize = 20;
constexpr std::uint64_t kSectionSize = 80;
constexpr std::uint64_t kFirstSection = 72;
constexpr std::uint32_t kMaxArchitectures = 16;
constexpr std::uint32_t kMaxCommands = 512;
constexpr std::uint32_t kMaxSections = 64;
constexpr std::size_t kNameLength = 16;

// True when `length` bytes starting at `offset` lie inside the buffer; never overflows.
bool fits(ByteSpan buffer, std::uint64_t offset, std::uint64_t length) {
    return offset <= buffer.size() && length <= buffer.size() - offset;
}

// Offsets inside this reader are unsigned; anything above INT64_MAX is outside every buffer.
std::int64_t signedOffset(std::uint64_t offset) {
    return offset > static_cast<std::uint64_t>(INT64_MAX) ? -1 : static_cast<std::int64_t>(offset);
}

// True when the NUL-padded name at `offset` equals `wanted` (compared as bytes up to the first
// zero, which is what decoding and comparing the text amounts to for the ASCII names we look for).
bool nameEquals(ByteSpan buffer, std::uint64_t offset, std::string_view wanted) {
    if (!fits(buffer, offset, kNameLength) || wanted.size() > kNameLength)
        return false;
    const auto* name = buffer.data() + offset;
    const auto length = static_cast<std::size_t>(std::find(name, name + kNameLength, 0) - name);
    return length == wanted.size() && std::memcmp(name, wanted.data(), length) == 0;
}

} // namespace

std::optional<std::uint32_t> readUInt32(ByteSpan buffer, std::int64_t offset, bool bigEndian) {
    if (offset < 0 || !fits(buffer, static_cast<std::uint64_t>(offset), 4))
        return std::nullopt;
    const std::uint8_t* b = buffer.data() + offset;
    if (bigEndian)
        return std::uint32_t(b[0]) << 24 | std::uint32_t(b[1]) << 16 | std::uint32_t(b[2]) << 8 | b[3];
    return std::uint32_t(b[3]) << 24 | std::uint32_t(b[2]) << 16 | std::uint32_t(b[1]) << 8 | b[0];
}

std::optional<std::uint64_t> readUInt64(ByteSpan buffer, std::int64_t offset) {
    const auto low = readUInt32(buffer, offset);
    const auto high = offset <= INT64_MAX - 4 ? readUInt32(buffer, offset + 4) : std::nullopt;
    if (!low || !high)
        return std::nullopt;
    return std::uint64_t(*high) << 32 | *low;
}

std::optional<QString> readFixedName(ByteSpan buffer, std::int64_t offset) {
    if (offset < 0 || !fits(buffer, static_cast<std::uint64_t>(offset), kNameLength))
        return std::nullopt;
    const auto* name = reinterpret_cast<const char*>(buffer.data() + offset);
    const auto length = std::find(name, name + kNameLength, '\0') - name;
    return QString::fromUtf8(name, length);
}

std::vector<std::uint64_t> machOImageOffsets(ByteSpan buffer) {
    const auto magic = readUInt32(buffer, 0);
    if (!magic)
        return {};
    if (*magic == kMagic64)
        return {0};
    if (readUInt32(buffer, 0, true) != kFatMagic)
        return {};
    const auto count = readUInt32(buffer, 4, true);
    if (!count || *count == 0)
        return {};
    std::vector<std::uint64_t> offsets;
    for (std::uint32_t index = 0; index < std::min(*count, kMaxArchitectures); ++index)
        if (const auto offset = readUInt32(buffer, signedOffset(8 + kFatEntrySize * index + 8), true))
            offsets.push_back(*offset);
    return offsets;
}

std::optional<QByteArray> findSection(ByteSpan buffer, std::uint64_t image, std::string_view segment,
                                      std::string_view section) {
    if (readUInt32(buffer, signedOffset(image)) != kMagic64)
        return std::nullopt;
    // The magic was read, so image + 4 fits in the buffer, and so do all the sums below, which
    // add at most a few thousand bytes or a value already checked against the buffer size.
    const auto commandCount = readUInt32(buffer, signedOffset(image + 16));
    if (!commandCount)
        return std::nullopt;

    std::uint64_t p = image + kHeaderSize;
    for (std::uint32_t index = 0; index < std::min(*commandCount, kMaxCommands); ++index) {
        const auto command = readUInt32(buffer, signedOffset(p));
        const auto size = p <= buffer.size() ? readUInt32(buffer, signedOffset(p + 4)) : std::nullopt;
        if (!command || !size || *size == 0 || !fits(buffer, p, *size))
            return std::nullopt;

        if (*command == kSegment64 && nameEquals(buffer, p + 8, segment)) {
            if (const auto sectionCount = readUInt32(buffer, signedOffset(p + 64))) {
                for (std::uint32_t j = 0; j < std::min(*sectionCount, kMaxSections); ++j) {
                    const std::uint64_t s = p + kFirstSection + kSectionSize * j;
                    if (!nameEquals(buffer, s, section))
                        continue;
                    const auto sectionSize = readUInt64(buffer, signedOffset(s + 40));
                    const auto sectionOffset = readUInt32(buffer, signedOffset(s + 48));
                    if (!sectionSize || !sectionOffset)
                        continue;
                    if (*sectionSize > buffer.size())
                        return std::nullopt;
                    const std::uint64_t start = image + *sectionOffset;
                    if (!fits(buffer, start, *sectionSize))
                        return std::nullopt;
                    return QByteArray(reinterpret_cast<const char*>(buffer.data() + start),
                                      static_cast<qsizetype>(*sectionSize));
                }
            }
        }
        p += *size;
    }
    return std::nullopt;
}

} // namespace quorvex
