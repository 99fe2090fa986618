#include "storage/cleaner/BusyToast.h"

#include "simulator/Toast.h"
#include "storage/files/Cleanup.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

// The busy flag only answers; the one refused tells the user with the "Please wait" toast.
TEST(BusyToastTest, ASecondLongTaskIsRefusedAndTheCallerShowsPleaseWait) {
    Cleanup& cleanup = Cleanup::shared();
    QSignalSpy changes(&cleanup, &Cleanup::workingChanged);
    QSignalSpy toasts(&Toast::presenter(), &ToastPresenter::toastShown);

    EXPECT_TRUE(cleanup.beginLongTask());
    EXPECT_TRUE(cleanup.isWorking());
    EXPECT_FALSE(cleanup.beginLongTask());
    EXPECT_TRUE(cleanup.isWorking());
    EXPECT_EQ(toasts.count(), 0);

    showBusyToast();
    ASSERT_EQ(toasts.count(), 1);
    EXPECT_EQ(toasts.at(0).at(0).value<ToastMessage>(),
              (ToastMessage{"Please wait", "Another task is still running: a cleanup, snapshot, or download.",
                            "hourglass", true}));

    cleanup.setWorking(false);
    cleanup.setWorking(false);
    EXPECT_EQ(changes.count(), 2); // on, off: a repeated value is no change
}

} // namespace
} // namespace quorvex
