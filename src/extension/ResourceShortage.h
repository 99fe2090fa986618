#pragma once

#include <cerrno>
#include <string>
#include <system_error>

namespace quorvex {

/// Thrown where a lookup could not be made for want of descriptors or memory: its answer is
/// unknown, not "no", and must never be taken (or cached) as one. A flow whose source cannot be
/// told waits for another try, or is refused; it is never passed as an ordinary process's.
class ResourceShortage final : public std::system_error {
public:
    ResourceShortage(int error, const std::string& what)
        : std::system_error(error, std::generic_category(), what) {}

    static bool is(int error) {
        return error == EMFILE || error == ENFILE || error == ENOMEM || error == ENOBUFS;
    }
    /// Throws when `error` (an errno value) is a shortage.
    static void check(int error, const std::string& what) {
        if (is(error))
            throw ResourceShortage(error, what);
    }
};

} // namespace quorvex
