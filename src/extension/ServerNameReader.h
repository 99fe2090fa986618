#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvex {

/// The host name a client's first bytes give on a TCP flow: the server name of a TLS ClientHello
/// (the ClientHello may span several records), or the Host of an HTTP/1 request. The kernel shows
/// the daemon addresses only; these bytes are where the name the app connected by can be read.
struct ServerNameReader {
    enum class Outcome {
        NeedMore, // a ClientHello or a request's headers have begun and are not complete yet
        NoName,   // not a ClientHello nor an HTTP request, or one without a name
        Name,
    };
    struct Result {
        Outcome outcome = Outcome::NoName;
        std::string name; // normalised (lower case, no port, no brackets) when outcome is Name
    };

    static Result read(std::string_view bytes);

    /// At most this much of a flow is read for its name, and for at most this long; past either,
    /// the flow has no name.
    static constexpr std::size_t maximumBytes = 16 * 1024;
    static constexpr double waitSeconds = 1;
};

} // namespace quorvex
