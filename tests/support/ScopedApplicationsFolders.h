#pragma once

#include "tools/FileGuardsSeam.h"

namespace quorvex::test {

/// Points the deletion guard at test Applications folders while it lives.
class ScopedApplicationsFolders final {
public:
    ScopedApplicationsFolders(std::filesystem::path system, std::filesystem::path user)
        : m_saved(detail::applicationsFolders()) {
        detail::applicationsFolders() = {std::move(system), std::move(user)};
    }
    ~ScopedApplicationsFolders() { detail::applicationsFolders() = m_saved; }
    ScopedApplicationsFolders(const ScopedApplicationsFolders&) = delete;
    ScopedApplicationsFolders& operator=(const ScopedApplicationsFolders&) = delete;

private:
    detail::ApplicationsFolders m_saved;
};

} // namespace quorvex::test
