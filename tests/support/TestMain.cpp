// The test main of every test executable: a fresh temporary HOME per process, Qt's offscreen
// platform unless a test asks for another, and a QApplication for widget tests.
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>

int main(int argc, char** argv) {
    const quorvex::test::TestHome home;
    if (!home.isReady())
        return 2;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
