#pragma once

#include "platform/data/Trash.h"

#include <QDateTime>

#include <filesystem>
#include <functional>

namespace quorvex {

/// The Trash as freedesktop.org desktops lay it out. An item on the drive of the home Trash
/// ($XDG_DATA_HOME/Trash, by default ~/.local/share/Trash) goes there; an item on another drive
/// (or another mount of the same one) goes to that drive's own Trash: $topdir/.Trash/$uid when
/// $topdir/.Trash is a sticky folder and no link, else $topdir/.Trash-$uid, made when missing.
/// Each Trash has files/ for the items and info/ for one .trashinfo record each. The record is
/// created first with O_EXCL (that reserves the name), then the item is renamed into files/ with
/// RENAME_NOREPLACE from its parent folder's descriptor, so neither step can replace anything, and
/// no link on the way is followed.
class FreedesktopTrash final : public Trash {
public:
    /// `trashFolder` empty: the home Trash of the current environment. It is resolved through
    /// links here, once; below it every link is refused. `now` gives the deletion date written
    /// into the record (local time); the system clock when empty.
    explicit FreedesktopTrash(std::filesystem::path trashFolder = {}, std::function<QDateTime()> now = {});

    /// The home Trash folder of the current environment, as configured (not resolved).
    static std::filesystem::path homeTrashFolder();

    bool isAvailable() const override;
    std::error_code moveToTrash(const std::filesystem::path& path) override;

    /// The home Trash folder, resolved.
    const std::filesystem::path& folder() const { return m_folder; }

private:
    std::filesystem::path m_folder;
    std::function<QDateTime()> m_now;
};

} // namespace quorvex
