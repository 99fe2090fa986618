#pragma once

namespace quorvex {

/// The program's one busy flag as the storage engine sees it: a cleanup, a snapshot or a
/// download runs at a time. Cleanup implements it (with its "Please wait" toast); tests use a
/// plain one. GUI thread.
class LongTaskGate {
public:
    virtual ~LongTaskGate() = default;
    /// Sets the flag and answers true, or, when a long task runs already, tells the user and
    /// answers false without changing anything.
    virtual bool beginLongTask() = 0;
    virtual void endLongTask() = 0;
    virtual bool isLongTaskRunning() const = 0;
};

} // namespace quorvex
