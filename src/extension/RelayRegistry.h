#pragma once

#include "extension/Closable.h"

#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

namespace quorvex {

/// Every live relay, keyed by its identity. Lives on the relay queue; the registry owns the
/// relays (together with their pending callbacks) until they close.
class RelayRegistry final {
public:
    void add(std::shared_ptr<Closable> relay) {
        Closable* key = relay.get();
        m_relays.emplace(key, std::move(relay));
    }
    void remove(const Closable* relay) { m_relays.erase(relay); }
    bool contains(const Closable* relay) const { return m_relays.count(relay) != 0; }
    std::size_t size() const { return m_relays.size(); }

    /// Every relay that matches `filter`, collected first so closing them may change the registry.
    std::vector<std::shared_ptr<Closable>> collect(const std::function<bool(const Closable&)>& filter) const {
        std::vector<std::shared_ptr<Closable>> result;
        for (const auto& [key, relay] : m_relays)
            if (filter(*relay))
                result.push_back(relay);
        return result;
    }

private:
    std::unordered_map<const Closable*, std::shared_ptr<Closable>> m_relays;
};

} // namespace quorvex
