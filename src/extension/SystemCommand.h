#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvex {

/// Runs a system tool (nft, ip) with an argument list, never a shell, feeding `input` on its
/// standard input and collecting standard output and error together. Blocks until it exits.
class SystemCommand final {
public:
    struct Result {
        int status = -1; // exit status; -1 when it could not run or died of a signal
        std::string output;
        bool ok() const { return status == 0; }
    };

    static Result run(const std::vector<std::string>& arguments, std::string_view input = {});

    /// The first of /usr/sbin, /sbin, /usr/bin, /bin that holds `name`; `name` itself otherwise.
    static std::string locate(const std::string& name);
};

} // namespace quorvex
