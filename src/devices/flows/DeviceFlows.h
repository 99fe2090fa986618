#pragma once

#include "devices/core/DeviceFlowsService.h"

#include <QObject>

#include <functional>
#include <memory>

namespace quorvex {

class ApnsClient;
class DevicePushWindow;
class DeviceScreenshot;
class PhysicalDevices;
class ToolCancellation;
class Workspace;

/// The connected-device flows behind the menus: the push window, screenshots, and saving,
/// restoring, deleting and downloading a device app's data. Slow device work runs on the thread
/// pool; the flows hold the program's busy flag (Cleanup) meanwhile and report with toasts.
/// `flowFinished` tells when an asynchronous flow has shown its result. GUI thread.
///
/// The copy that runs owns a ToolCancellation the user may trigger (cancelCopy); when the
/// flows are destroyed at quit it is cancelled for good, so the worker ends at once and leaves
/// what recoverInterruptedCopies() picks up at the next start.
class DeviceFlows final : public QObject, public DeviceFlowsService {
    Q_OBJECT
public:
    /// Screenshots go through the program's one screenshot flow. Without a client the push
    /// window uses ApnsClient::shared().
    DeviceFlows(PhysicalDevices& inventory, DeviceScreenshot& screenshots, Workspace& workspace,
                ApnsClient* client = nullptr);
    ~DeviceFlows() override;

    std::vector<PhysicalDevice> devices() const override;
    std::vector<DeviceApp> apps(const QString& deviceID) const override;
    void showPushWindow(const PhysicalDevice& device) override;
    void screenshot(const PhysicalDevice& device, bool copy) override;
    std::optional<QString> promptSnapshotName(const DeviceApp& app, const PhysicalDevice& device) override;
    QFuture<void> saveSnapshotFlow(const PhysicalDevice& device, const DeviceApp& app,
                                   const QString& name) override;
    QFuture<void> downloadAppDataFlow(const PhysicalDevice& device, const DeviceApp& app) override;
    bool confirmRestoreSnapshot(const DeviceSnapshot& snapshot, const DeviceApp& app,
                                const PhysicalDevice& device) override;
    QFuture<void> restoreSnapshotFlow(const DeviceSnapshot& snapshot, const DeviceApp& app,
                                      const PhysicalDevice& device) override;
    void cancelCopy() override;
    std::optional<QString> runningCopy() const override;
    QFuture<void> deleteSnapshotFlow(const DeviceSnapshot& snapshot, const DeviceApp& app,
                                     const PhysicalDevice& device) override;

    /// Finishes or clears what copies killed with the program left (under the busy flag, off the
    /// GUI thread) and tells the user where data from before an interrupted restore is kept.
    /// Start-up; the future ends once that was shown.
    QFuture<void> recoverInterruptedCopies();

    /// The push window, created on first use.
    DevicePushWindow& pushWindow();

signals:
    /// An asynchronous flow (save, restore, download, screenshot) has ended and shown its toast.
    void flowFinished();

private:
    /// Runs `work` on the pool under the busy flag with the cancellation of the copy; `done` reports
    /// on the GUI thread. `copy` says what it copies, for the row that cancels it; without it the
    /// task cannot be cancelled by the user.
    template <typename Result>
    QFuture<void> runLongTask(std::optional<QString> copy, std::function<Result(ToolCancellation*)> work,
                              std::function<void(Result)> done);

    PhysicalDevices& m_inventory;
    DeviceScreenshot& m_screenshots;
    Workspace& m_workspace;
    ApnsClient* m_client;
    std::unique_ptr<DevicePushWindow> m_pushWindow;
    std::shared_ptr<ToolCancellation> m_copy; // of the long task that runs
    std::optional<QString> m_copyDescription; // while a copy the user may cancel runs
};

} // namespace quorvex
