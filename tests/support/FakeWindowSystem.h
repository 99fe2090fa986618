#pragma once

#include "platform/gui/WindowSystem.h"

#include <map>
#include <set>
#include <vector>

namespace quorvex::test {

/// A WindowSystem the test scripts: which app is frontmost, the window list, titles, screens,
/// whether titles may be read. Changing the script does not emit `changed`; call
/// `announceChange()` where the real system would have sent an event. Stacking requests are
/// recorded, and applied to the window list when `applyOrders` is on.
class FakeWindowSystem final : public WindowSystem {
public:
    struct OrderCall {
        quint64 window;
        Order order;
        quint64 relativeTo;
        bool operator==(const OrderCall&) const = default;
    };

    std::optional<Activation> frontmostApplication() const override { return m_frontmost; }
    std::vector<Application> runningApplications(const QString& bundleID) const override {
        std::vector<Application> result;
        for (const Application& app : m_running) {
            if (app.bundleID == bundleID)
                result.push_back(app);
        }
        return result;
    }
    std::vector<Window> windowList() const override {
        ++m_windowListCalls;
        return m_windows;
    }
    std::optional<QString> focusedWindowTitle(qint64 pid) const override {
        ++m_titleReads;
        if (!m_canReadTitles)
            return std::nullopt;
        const auto it = m_titles.find(pid);
        return it == m_titles.end() ? std::nullopt : std::optional<QString>(it->second);
    }
    bool canReadWindowTitles() const override { return m_canReadTitles; }
    bool requestTitleAccess() override {
        ++m_accessRequests;
        m_canReadTitles = m_canReadTitles || m_grantOnRequest;
        return m_canReadTitles;
    }
    bool isProcessRunning(qint64 pid) const override { return m_livePIDs.count(pid) != 0; }
    std::vector<Screen> screens() const override { return m_screens; }
    void orderWindow(quint64 window, Order order, quint64 relativeTo) override {
        m_orders.push_back({window, order, relativeTo});
        if (m_applyOrders)
            restack(window, order, relativeTo);
    }
    std::optional<QString> hiddenWindowsReason() const override { return m_hiddenReason; }
    bool knowsApplication(const QString& bundleID) const override { return m_known.count(bundleID) != 0; }
    bool openApplication(const QString& bundleID) override {
        if (!knowsApplication(bundleID))
            return false;
        m_opened.push_back(bundleID);
        return true;
    }

    // --- script ---

    /// Makes `bundleID` frontmost (running too) through its window `window`.
    void setFrontmost(const QString& bundleID, qint64 pid = 0, quint64 window = 0) {
        m_frontmost = Activation{{bundleID, pid, bundleID}, window};
        addRunning({bundleID, pid, bundleID});
    }
    void clearFrontmost() { m_frontmost.reset(); }
    void addRunning(const Application& app) {
        for (const Application& running : m_running) {
            if (running == app)
                return;
        }
        m_running.push_back(app);
    }
    /// Quits every application with the bundle identifier.
    void quit(const QString& bundleID) {
        std::erase_if(m_running, [&](const Application& app) { return app.bundleID == bundleID; });
        if (m_frontmost && m_frontmost->application.bundleID == bundleID)
            m_frontmost.reset();
    }
    void setWindows(std::vector<Window> windows) { m_windows = std::move(windows); }
    std::vector<Window>& windows() { return m_windows; }
    void setTitle(qint64 pid, const QString& title) { m_titles[pid] = title; }
    void setCanReadTitles(bool can) { m_canReadTitles = can; }
    void setGrantOnRequest(bool grant) { m_grantOnRequest = grant; }
    void setProcessRunning(qint64 pid, bool running) {
        if (running)
            m_livePIDs.insert(pid);
        else
            m_livePIDs.erase(pid);
    }
    void setScreens(std::vector<Screen> screens) { m_screens = std::move(screens); }
    void setKnownApplication(const QString& bundleID) { m_known.insert(bundleID); }
    void setApplyOrders(bool apply) { m_applyOrders = apply; }
    /// A desktop that hides other programs' windows, for the given reason.
    void setHiddenWindowsReason(std::optional<QString> reason) { m_hiddenReason = std::move(reason); }
    void announceChange() { emit changed(); }

    const std::vector<OrderCall>& orders() const { return m_orders; }
    void clearOrders() { m_orders.clear(); }
    const std::vector<QString>& opened() const { return m_opened; }
    int windowListCalls() const { return m_windowListCalls; }
    int titleReads() const { return m_titleReads; }
    int accessRequests() const { return m_accessRequests; }

    /// A window in the list's terms.
    static Window window(quint64 number, qint64 pid, QRectF bounds, int layer = 0, QString owner = {}) {
        return Window{number, pid, std::move(owner), layer, bounds};
    }

private:
    void restack(quint64 window, Order order, quint64 relativeTo) {
        auto find = [this](quint64 n) {
            return std::find_if(m_windows.begin(), m_windows.end(),
                                [n](const Window& w) { return w.number == n; });
        };
        auto moving = find(window);
        if (moving == m_windows.end() || find(relativeTo) == m_windows.end())
            return;
        const Window entry = *moving;
        m_windows.erase(moving);
        auto anchor = find(relativeTo);
        // Front to back: below means after the anchor.
        m_windows.insert(order == Order::Above ? anchor : anchor + 1, entry);
    }

    std::optional<Activation> m_frontmost;
    std::vector<Application> m_running;
    std::vector<Window> m_windows;
    std::map<qint64, QString> m_titles;
    std::set<qint64> m_livePIDs;
    std::set<QString> m_known;
    std::vector<Screen> m_screens;
    std::vector<OrderCall> m_orders;
    std::vector<QString> m_opened;
    std::optional<QString> m_hiddenReason;
    bool m_canReadTitles = true;
    bool m_grantOnRequest = true;
    bool m_applyOrders = false;
    mutable int m_windowListCalls = 0;
    mutable int m_titleReads = 0;
    int m_accessRequests = 0;
};

} // namespace quorvex::test
