#pragma once

#include <memory>

namespace quorvex {

class Link;

/// A live relay, as the registry sees it: the link it was made for, and a way to end it.
class Closable {
public:
    virtual ~Closable() = default;

    /// The shaped link of the relay's rule.
    virtual const std::shared_ptr<Link>& link() const = 0;

    /// Ends the relay at once and removes it from the registry. Used for a cut link, a removed
    /// rule and a stop; a TCP relay resets both sides, so neither takes a cut transfer for a
    /// complete one.
    virtual void close() = 0;
};

} // namespace quorvex
