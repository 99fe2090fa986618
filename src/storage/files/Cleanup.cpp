#include "storage/files/Cleanup.h"

#include "platform/data/GuiThread.h"
#include "storage/files/GuardedDelete.h"

namespace quorvex {
namespace fs = std::filesystem;

Cleanup& Cleanup::shared() {
    static Cleanup* instance = new Cleanup;
    return *instance;
}

void Cleanup::setWorking(bool working) {
    Q_ASSERT(isGuiThread());
    if (m_working.exchange(working) != working)
        emit workingChanged(working);
}

bool Cleanup::beginLongTask() {
    Q_ASSERT(isGuiThread());
    if (isWorking())
        return false;
    setWorking(true);
    return true;
}

bool Cleanup::isInsideUserLibrary(const fs::path& path) {
    return GuardedDelete::isInsideUserLibrary(path);
}

void Cleanup::removeItem(const fs::path& path) {
    GuardedDelete::removeItem(path);
}

std::error_code Cleanup::removeItem(const fs::path& path, std::nothrow_t) noexcept {
    return GuardedDelete::removeItem(path, std::nothrow);
}

} // namespace quorvex
