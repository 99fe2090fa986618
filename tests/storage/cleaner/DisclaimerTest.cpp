#include "storage/cleaner/Disclaimer.h"

#include <QCoreApplication>
#include <QLabel>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

// The terms are shown whole at any width the window takes: the note grows as its text wraps, so
// no line is cut off at the foot of the window.
TEST(DisclaimerTest, TheTermsWrapFullyAtEveryWidth) {
    for (const int width : {420, 760, 1200}) {
        SCOPED_TRACE(width);
        Disclaimer note;
        const int height = note.heightForWidth(width);
        ASSERT_GT(height, 0) << "the note's height follows its width";
        note.resize(width, height);
        note.show();
        QCoreApplication::processEvents();
        const auto* text = note.findChild<QLabel*>("text");
        ASSERT_NE(text, nullptr);
        EXPECT_GE(text->height(), text->heightForWidth(text->width())) << "a line is cut off";
        EXPECT_LE(text->geometry().right(), note.width());
        EXPECT_LE(text->geometry().bottom(), note.height());
    }
    EXPECT_GT(Disclaimer().heightForWidth(420), Disclaimer().heightForWidth(1200)) << "narrower is taller";
}

} // namespace
} // namespace quorvex
