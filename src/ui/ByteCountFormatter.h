#pragma once

#include <QString>

#include <cstdint>

namespace quorvex {

/// Byte counts as the platform's file-size style writes them: decimal units (1 KB = 1000 bytes),
/// "Zero KB" for nothing, "512 bytes", "34 KB", "1.2 MB", "3.45 GB", in the user's locale. The
/// one formatter every view that shows a size uses.
class ByteCountFormatter final {
public:
    ByteCountFormatter() = delete;

    static QString file(std::int64_t bytes);
};

} // namespace quorvex
