#include "app/provisional/ProvisionalDeviceHub.h"

#include "app/provisional/ProvisionalCleanerWindow.h"
#include "simulator/Toast.h"

#include <QSignalSpy>

#include <QTest>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

SimulatorDevice booted(const QString& name, std::optional<qint64> at) {
    SimulatorDevice device{name + "-UDID", name, std::nullopt};
    if (at)
        device.bootedAt = QDateTime::fromSecsSinceEpoch(*at);
    return device;
}

TEST(ProvisionalServicesTest, TheTargetIsTheSimulatorBootedLast) {
    struct Case {
        const char* name;
        std::vector<SimulatorDevice> devices;
        std::optional<QString> expected;
    };
    const std::vector<Case> cases = {
        {"nothing booted", {}, std::nullopt},
        {"the newest boot wins over list order", {booted("A", 100), booted("B", 300), booted("C", 200)}, "B"},
        {"an unknown boot time counts as oldest", {booted("A", std::nullopt), booted("B", 5)}, "B"},
        {"no boot times: the first listed", {booted("A", std::nullopt), booted("B", std::nullopt)}, "A"},
        {"a tie: the first listed", {booted("A", 7), booted("B", 7)}, "A"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto target = ProvisionalDeviceHub::mostRecentlyBooted(c.devices);
        EXPECT_EQ(target ? std::optional<QString>(target->name) : std::nullopt, c.expected);
    }
}

TEST(ProvisionalServicesTest, AFeatureThatIsNotThereYetSaysSoInAToast) {
    QSignalSpy toasts(&Toast::presenter(), &ToastPresenter::toastShown);
    ProvisionalCleanerWindow window;
    window.show(std::nullopt, std::nullopt);
    ASSERT_EQ(toasts.size(), 1);
    const auto toast = toasts.at(0).at(0).value<ToastMessage>();
    EXPECT_EQ(toast.title, "Storage Cleaner");
    EXPECT_EQ(toast.detail, "Not available yet in this version of Quorvex.");
    EXPECT_FALSE(toast.failed);
}

} // namespace
} // namespace quorvex
