#include "extension/BlockedHostAddresses.h"

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>

#include <chrono>

namespace quorvex {

namespace {

asio::ip::address plain(const asio::ip::address& address) {
    if (address.is_v6() && address.to_v6().is_v4_mapped())
        return asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6());
    return address;
}

std::vector<asio::ip::address> systemResolve(const std::string& name) {
    asio::io_context context;
    asio::ip::tcp::resolver resolver(context);
    std::error_code error;
    const auto results = resolver.resolve(name, "", error);
    std::vector<asio::ip::address> addresses;
    if (!error)
        for (const auto& entry : results)
            addresses.push_back(entry.endpoint().address());
    return addresses;
}

} // namespace

BlockedHostAddresses::BlockedHostAddresses(Resolve resolve, bool refreshInBackground)
    : m_resolve(resolve ? std::move(resolve) : Resolve(systemResolve)) {
    if (refreshInBackground)
        m_thread = std::thread([this] { run(); });
}

BlockedHostAddresses::~BlockedHostAddresses() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void BlockedHostAddresses::setBlockedHosts(const std::vector<std::string>& hosts) {
    std::vector<std::string> names;
    for (const auto& host : hosts) {
        std::error_code notAnAddress;
        asio::ip::make_address(host, notAnAddress);
        if (notAnAddress && !host.empty())
            names.push_back(host);
    }
    {
        const std::lock_guard lock(m_mutex);
        if (names == m_names)
            return;
        m_names = std::move(names);
        m_changed = true;
        ++m_wanted;
    }
    m_wake.notify_all();
}

std::optional<std::string> BlockedHostAddresses::nameOf(const asio::ip::address& address) const {
    const std::lock_guard lock(m_mutex);
    const auto found = m_byAddress.find(plain(address));
    return found != m_byAddress.end() ? std::optional<std::string>(found->second) : std::nullopt;
}

void BlockedHostAddresses::refreshNow() {
    std::vector<std::string> names;
    std::map<std::string, std::vector<asio::ip::address>> previous;
    std::uint64_t change = 0;
    {
        const std::lock_guard lock(m_mutex);
        names = m_names;
        change = m_wanted;
        previous = m_resolved;
        m_changed = false;
    }
    // Resolving takes time and may wait on the network: never under the lock.
    std::map<std::string, std::vector<asio::ip::address>> resolved;
    for (const auto& name : names) {
        auto addresses = m_resolve(name);
        if (addresses.empty())
            if (const auto known = previous.find(name); known != previous.end())
                addresses = known->second; // a resolver that failed for now does not unblock
        resolved[name] = std::move(addresses);
    }
    {
        const std::lock_guard lock(m_mutex);
        if (m_wanted != change)
            return; // the names changed meanwhile; the next round resolves those
        m_resolved = std::move(resolved);
        m_byAddress.clear();
        // In list order: the first name that owns an address reports it.
        for (const auto& name : names)
            for (const auto& address : m_resolved[name])
                m_byAddress.emplace(plain(address), name);
        m_resolvedChange = change;
    }
    m_wake.notify_all();
}

bool BlockedHostAddresses::waitUntilResolved(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_mutex);
    return m_wake.wait_for(lock, limit, [this] { return m_resolvedChange == m_wanted; });
}

void BlockedHostAddresses::run() {
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        m_wake.wait_for(lock, std::chrono::seconds(refreshSeconds),
                        [this] { return m_stopping || m_changed; });
        if (m_stopping)
            break;
        if (m_names.empty() && !m_changed)
            continue;
        lock.unlock();
        refreshNow();
        lock.lock();
    }
}

} // namespace quorvex
