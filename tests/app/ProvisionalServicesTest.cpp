#include "app/provisional/ProvisionalActionWindows.h"
#include "app/provisional/ProvisionalNetwork.h"
#include "simulator/Toast.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

TEST(ProvisionalServicesTest, TheProvisionalNetworkShapesNothingAndItsResetFailsOnlyWhenTold) {
    ProvisionalNetwork network;
    EXPECT_FALSE(network.isActive());
    EXPECT_FALSE(network.isBusy());
    EXPECT_TRUE(network.hostRules().empty());
    for (const QByteArray& failure : {QByteArray(), QByteArray("No extension to reset.")}) {
        if (failure.isEmpty())
            qunsetenv("QUORVEX_PROVISIONAL_RESET_ERROR");
        else
            qputenv("QUORVEX_PROVISIONAL_RESET_ERROR", failure);
        std::optional<std::optional<QString>> outcome;
        network.resetSetup([&](std::optional<QString> error) { outcome = error; });
        EXPECT_FALSE(outcome) << "answers later, like the real one";
        ASSERT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }));
        EXPECT_EQ(*outcome, failure.isEmpty() ? std::nullopt : std::optional<QString>(failure));
    }
    qunsetenv("QUORVEX_PROVISIONAL_RESET_ERROR");
    bool stopped = false;
    network.stopProxyForQuit([&] { stopped = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return stopped; }));
}

TEST(ProvisionalServicesTest, AFeatureThatIsNotThereYetSaysSoInAToast) {
    QSignalSpy toasts(&Toast::presenter(), &ToastPresenter::toastShown);
    ProvisionalActionWindows windows;
    windows.openPushWindow({});
    ASSERT_EQ(toasts.size(), 1);
    const auto toast = toasts.at(0).at(0).value<ToastMessage>();
    EXPECT_EQ(toast.title, "Push window");
    EXPECT_EQ(toast.detail, "Not available yet in this version of Quorvex.");
    EXPECT_FALSE(toast.failed);
}

} // namespace
} // namespace quorvex
