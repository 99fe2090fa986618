#pragma once

#include <filesystem>
#include <string>
#include <system_error>
#include <type_traits>

namespace quorvex {

/// Why an item stayed out of the Trash, beside the system's own errors.
enum class TrashError {
    /// The item's drive has no Trash this user may use, and none could be made there.
    noTrashOnVolume = 1,
    /// The item is a mount point or holds one: once in the Trash, emptying it would reach into
    /// the mounted folder.
    holdsMount,
};

inline const std::error_category& trashCategory() {
    class Category final : public std::error_category {
    public:
        const char* name() const noexcept override { return "trash"; }
        std::string message(int value) const override {
            switch (static_cast<TrashError>(value)) {
            case TrashError::noTrashOnVolume:
                return "no usable trash on the item's drive";
            case TrashError::holdsMount:
                return "the item is or holds a mount point";
            }
            return "trash error";
        }
    };
    static const Category category;
    return category;
}

inline std::error_code make_error_code(TrashError error) {
    return {static_cast<int>(error), trashCategory()};
}

/// The Trash, where a clean in trash mode puts files so they can be put back.
///
/// Contract: moveToTrash takes an absolute path whose folders hold no symbolic link (the caller
/// resolves and guards it) and moves that very item (a link as the link itself, never its
/// target) into the Trash of the item's own drive by a rename, with the record a file manager
/// needs to put it back. It never copies. An item that is or holds a mount point is refused
/// (TrashError::holdsMount), and so is one whose drive has no Trash to use
/// (TrashError::noTrashOnVolume). On failure nothing was moved and no record is left. Any thread.
class Trash {
public:
    virtual ~Trash() = default;

    /// False when this computer has no usable Trash (then a clean can only delete).
    virtual bool isAvailable() const = 0;

    /// Moves the item to the Trash; an empty code on success.
    virtual std::error_code moveToTrash(const std::filesystem::path& path) = 0;
};

} // namespace quorvex

template <> struct std::is_error_code_enum<quorvex::TrashError> : std::true_type {};
