#pragma once

#include <functional>

namespace quorvex {

/// Runs the blocking calls to the extension daemon away from the GUI thread. `work` runs on the
/// executor's thread, in submission order; `then` runs afterwards on the thread that submitted.
/// Tests use one that runs both at once, or holds work until told.
class ControlExecutor {
public:
    virtual ~ControlExecutor() = default;
    virtual void run(std::function<void()> work, std::function<void()> then) = 0;
};

} // namespace quorvex
