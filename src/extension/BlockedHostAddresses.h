#pragma once

#include <asio/ip/address.hpp>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quorvex {

/// The addresses that the blocked host names of the plan resolve to on this computer. Here the
/// kernel shows the daemon a flow's address, never the name the app connected by; a flow to one
/// of these addresses is taken as a flow to the name, so blocking "example.com" refuses the app's
/// connections to it. Names are resolved at once when they change and again every
/// `refreshSeconds` on a thread of their own; a name that fails to resolve keeps the addresses it
/// had. Thread-safe.
class BlockedHostAddresses final {
public:
    using Resolve = std::function<std::vector<asio::ip::address>(const std::string& name)>;
    static constexpr int refreshSeconds = 60;

    /// `resolve` defaults to the system resolver; tests pass their own and call refreshNow.
    explicit BlockedHostAddresses(Resolve resolve = {}, bool refreshInBackground = true);
    ~BlockedHostAddresses();
    BlockedHostAddresses(const BlockedHostAddresses&) = delete;
    BlockedHostAddresses& operator=(const BlockedHostAddresses&) = delete;

    /// The plan's blocked hosts; entries that are addresses are left out (they meet flows as they
    /// are).
    void setBlockedHosts(const std::vector<std::string>& hosts);

    /// The blocked name that resolved to `address` (an IPv4-mapped address counts as its IPv4
    /// one); none when no blocked name did.
    std::optional<std::string> nameOf(const asio::ip::address& address) const;

    /// Resolves every name now, on the calling thread.
    void refreshNow();

    /// Waits at most `limit` for the names last set to be resolved by the background thread;
    /// false when they are not yet.
    bool waitUntilResolved(std::chrono::milliseconds limit);

private:
    void run();

    Resolve m_resolve;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<std::string> m_names;
    std::map<std::string, std::vector<asio::ip::address>> m_resolved; // by name
    std::map<asio::ip::address, std::string> m_byAddress;
    bool m_changed = false;
    std::uint64_t m_wanted = 0;         // bumped by each change of the names
    std::uint64_t m_resolvedChange = 0; // the change the addresses are of
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace quorvex
