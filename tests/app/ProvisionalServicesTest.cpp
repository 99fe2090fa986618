#include "app/provisional/NotAvailableYet.h"
#include "simulator/Toast.h"

#include <QSignalSpy>

#include <QTest>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

TEST(ProvisionalServicesTest, AFeatureThatIsNotThereYetSaysSoInAToast) {
    QSignalSpy toasts(&Toast::presenter(), &ToastPresenter::toastShown);
    showNotAvailableYet(QStringLiteral("Storage Cleaner"));
    ASSERT_EQ(toasts.size(), 1);
    const auto toast = toasts.at(0).at(0).value<ToastMessage>();
    EXPECT_EQ(toast.title, "Storage Cleaner");
    EXPECT_EQ(toast.detail, "Not available yet in this version of Quorvex.");
    EXPECT_FALSE(toast.failed);
}

} // namespace
} // namespace quorvex
