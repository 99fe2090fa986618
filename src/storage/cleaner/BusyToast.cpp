#include "storage/cleaner/BusyToast.h"

#include "simulator/Toast.h"
#include "storage/files/LongTaskGate.h"

#include <QCoreApplication>
#include <QThread>

namespace quorvex {

void showBusyToast() {
    const auto show = [] {
        Toast::show(LongTaskGate::kBusyTitle, LongTaskGate::kBusyDetail, QStringLiteral("hourglass"), true);
    };
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    if (QThread::currentThread() == app->thread())
        show();
    else
        QMetaObject::invokeMethod(app, show, Qt::QueuedConnection);
}

} // namespace quorvex
