#pragma once

#include <atomic>

namespace quorvex {

/// A way to stop tool runs that may take long (copies to and from a device, a simctl call at
/// quit): cancel() kills the run in progress that watches this cancellation, together with its
/// process group, and every later run that watches it fails at once without starting, until
/// reset(). A run watches the cancellation its ToolLimits name, else the one a Scope installed
/// on its thread. Any thread; cancel() never blocks.
class ToolCancellation final {
public:
    ToolCancellation();
    ~ToolCancellation();
    ToolCancellation(const ToolCancellation&) = delete;
    ToolCancellation& operator=(const ToolCancellation&) = delete;

    void cancel();
    /// Cancels, and makes later reset() calls do nothing: for work abandoned because the
    /// program quits, which must not start anything more (not even putting data back).
    void cancelForGood();
    /// Lets runs start again, for work that must go on after a cancel (putting data back).
    void reset();
    bool isCancelled() const { return m_cancelled.load(); }
    /// Readable while cancelled; the runner polls it beside the tool's output.
    int descriptor() const { return m_fd; }

    /// Makes `cancellation` the one that runs of this thread watch for as long as the scope
    /// lives (nullptr: none), restoring the previous one after.
    class Scope final {
    public:
        explicit Scope(ToolCancellation* cancellation);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        ToolCancellation* m_previous;
    };
    /// The cancellation a Scope installed on the calling thread, or nullptr.
    static ToolCancellation* current();

private:
    int m_fd = -1;
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_forGood{false};
};

} // namespace quorvex
