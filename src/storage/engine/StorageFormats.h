#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <optional>

namespace quorvex {

/// The text formats the storage engine reads from tools and files, parsed strictly (Qt's own
/// parsers accept more than the formats allow), and the byte counts it shows.
class StorageFormats final {
public:
    /// A UUID as its 128-bit value: two texts name the same device exactly when these are equal,
    /// whatever the case of their hex digits.
    struct Uuid {
        std::uint64_t high = 0;
        std::uint64_t low = 0;
        friend bool operator==(const Uuid&, const Uuid&) = default;
        friend auto operator<=>(const Uuid&, const Uuid&) = default;
    };

    /// Exactly 8-4-4-4-12 hex digits (either case), nothing around them.
    static std::optional<Uuid> parseUuid(const QString& text);
    static bool isUuid(const QString& text) { return parseUuid(text).has_value(); }

    /// "YYYY-MM-DDTHH:MM:SS", with `fractionalSeconds` a fraction of 1-9 digits (required then,
    /// refused otherwise), then "Z" or "±HH:MM"; every field in range. Nothing else. In UTC.
    static std::optional<QDateTime> parseIso8601(const QString& text, bool fractionalSeconds = false);

    /// A path as the key of an item id: its exact bytes, so two paths share a key only when they
    /// are the same path. A path that is UTF-8 reads as itself with "%" written "%25"; any other
    /// has "%" and every byte outside printable ASCII written "%XX". Either way
    /// QByteArray::fromPercentEncoding of the key's UTF-8 gives the bytes back. Titles show names
    /// decoded for people instead, where two names may well look alike.
    static QString pathKey(const std::filesystem::path& path);

    /// The byte count in the file-size style: decimal units, "Zero KB", "1 byte", "999 bytes",
    /// "12 KB", "1.5 MB", "2.25 GB"; negative counts read as zero.
    static QString fileSize(std::int64_t bytes);
};

} // namespace quorvex
