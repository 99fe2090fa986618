#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace quorvex {

/// Bounds-checked reads of the few Mach-O structures the program needs (the images of a thin or
/// fat file and one section's bytes), over the file's bytes as they are. Every offset and size
/// from the file is checked against the buffer before it is used, in arithmetic that cannot
/// overflow, so any input gives a result or nothing, never a read outside the buffer. Only
/// 64-bit little-endian images are understood.
using ByteSpan = std::span<const std::uint8_t>;

/// Four bytes at `offset`; nothing when the offset is negative or they are not all inside.
std::optional<std::uint32_t> readUInt32(ByteSpan buffer, std::int64_t offset, bool bigEndian = false);
/// Eight little-endian bytes at `offset`; nothing when they are not all inside.
std::optional<std::uint64_t> readUInt64(ByteSpan buffer, std::int64_t offset);
/// A 16-byte NUL-padded name: the bytes up to the first zero (or all 16) as UTF-8, invalid bytes
/// replaced; nothing when the 16 bytes are not all inside.
std::optional<QString> readFixedName(ByteSpan buffer, std::int64_t offset);

/// Offsets of the images to search: 0 for a thin 64-bit image, the image offsets of the first 16
/// entries of a 32-bit fat header (in header order), none for anything else.
std::vector<std::uint64_t> machOImageOffsets(ByteSpan buffer);

/// A copy of the bytes of `section` in `segment` of the 64-bit image at `image`; nothing when
/// the image, its load commands or the section are missing, inconsistent or outside the buffer.
/// At most 512 load commands and 64 sections per segment are examined.
std::optional<QByteArray> findSection(ByteSpan buffer, std::uint64_t image, std::string_view segment,
                                      std::string_view section);

} // namespace quorvex
