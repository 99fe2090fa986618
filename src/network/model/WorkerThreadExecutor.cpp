#include "network/model/WorkerThreadExecutor.h"

#include <QPointer>

namespace quorvex {

WorkerThreadExecutor::WorkerThreadExecutor(QObject* parent)
    : QObject(parent) {
    m_pool.setMaxThreadCount(1);
    m_pool.setExpiryTimeout(-1);
}

WorkerThreadExecutor::~WorkerThreadExecutor() {
    m_pool.waitForDone();
}

void WorkerThreadExecutor::run(std::function<void()> work, std::function<void()> then) {
    QPointer<WorkerThreadExecutor> self(this);
    m_pool.start([self, work = std::move(work), then = std::move(then)]() mutable {
        work();
        if (!self)
            return;
        QMetaObject::invokeMethod(
            self.data(),
            [self, then = std::move(then)] {
                if (self && then)
                    then();
            },
            Qt::QueuedConnection);
    });
}

} // namespace quorvex
