#include "platform/data/GuiThread.h"

#include <QCoreApplication>
#include <QThread>

namespace quorvex {

bool isGuiThread() {
    const QCoreApplication* application = QCoreApplication::instance();
    return !application || QThread::currentThread() == application->thread();
}

} // namespace quorvex
