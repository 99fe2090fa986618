#pragma once

#include <QString>

#include <filesystem>

namespace quorvex {

/// How one cleanup item is removed: a file or folder (to the Trash or deleted, by the clean's
/// mode), or a simulator or runtime deleted through simctl (never to the Trash).
struct CleanupRemoval {
    enum class Kind { file, simulator, runtime };

    Kind kind = Kind::file;
    std::filesystem::path file; // kind file
    QString identifier;         // kind simulator (UDID) or runtime (identifier)

    static CleanupRemoval ofFile(std::filesystem::path path) { return {Kind::file, std::move(path), {}}; }
    static CleanupRemoval ofSimulator(QString udid) { return {Kind::simulator, {}, std::move(udid)}; }
    static CleanupRemoval ofRuntime(QString identifier) { return {Kind::runtime, {}, std::move(identifier)}; }

    friend bool operator==(const CleanupRemoval&, const CleanupRemoval&) = default;
};

} // namespace quorvex
