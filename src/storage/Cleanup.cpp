#include "storage/Cleanup.h"

#include "platform/GuiThread.h"
#include "simulator/Toast.h"
#include "storage/GuardedDelete.h"

#include <QCoreApplication>
#include <QThread>

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
    if (isWorking()) {
        showBusyToast();
        return false;
    }
    setWorking(true);
    return true;
}

void Cleanup::showBusyToast() {
    const auto show = [] { Toast::show(kBusyTitle, kBusyDetail, QStringLiteral("hourglass"), true); };
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    if (QThread::currentThread() == app->thread())
        show();
    else
        QMetaObject::invokeMethod(app, show, Qt::QueuedConnection);
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
