#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace quorvex {

/// An nftables table that lives no longer than this process. The kernel removes a table made
/// with the "owner" flag when the netlink socket that made it closes; here that socket is a child
/// `nft -i` kept running with its input on a pipe from us. When we end in any way (a crash or
/// kill -9 included) the pipe closes, the child reads its end and exits, and the table goes with
/// it: no rule of ours can outlive the daemon and steer flows to a listener that is gone. While
/// the table is held, no other process may change or delete it.
///
/// Not thread-safe; load and release from one thread at a time.
class HeldRuleset final {
public:
    HeldRuleset() = default;
    ~HeldRuleset();
    HeldRuleset(const HeldRuleset&) = delete;
    HeldRuleset& operator=(const HeldRuleset&) = delete;

    /// Loads `script`, which defines the one table `family name` (as `nft -f` reads it, without
    /// the owner flag), and holds it. Answers nft's complaint when the table cannot be made; nothing
    /// is held then. A table held already is released first.
    std::optional<std::string> load(const std::string& family, const std::string& name,
                                    const std::string& script);
    /// Ends the holder; the table is gone when this returns.
    void release();
    bool isHeld() const { return m_child > 0; }

    /// Whether a live process holds the table `family name` in this network namespace: an owned
    /// table exists only while its owner does.
    static bool heldByAnyone(const std::string& family, const std::string& name);

    static constexpr double loadSeconds = 5;

private:
    pid_t m_child = -1;
    int m_input = -1;  // the holder's standard input: closing it ends the holder
    int m_output = -1; // its output and errors, kept open so it can never die writing them
};

} // namespace quorvex
