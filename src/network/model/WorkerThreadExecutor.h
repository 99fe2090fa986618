#pragma once

#include "network/model/ControlExecutor.h"

#include <QObject>
#include <QThreadPool>

namespace quorvex {

/// The real ControlExecutor: one worker thread, so daemon calls never overlap, and answers posted
/// back to the submitting object's thread. Answers still queued when it is destroyed are dropped.
class WorkerThreadExecutor final : public QObject, public ControlExecutor {
    Q_OBJECT
public:
    explicit WorkerThreadExecutor(QObject* parent = nullptr);
    ~WorkerThreadExecutor() override;

    void run(std::function<void()> work, std::function<void()> then) override;

private:
    QThreadPool m_pool;
};

} // namespace quorvex
