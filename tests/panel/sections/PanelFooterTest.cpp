#include "panel/sections/PanelFooter.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

TEST(PanelFooterTest, ADeviceTakesLinksOnlyASimulatorFilesToo) {
    PanelFooter footer(false);
    EXPECT_EQ(footer.hint(), "Drop files or links here");
    footer.setPhysical(true);
    EXPECT_EQ(footer.hint(), "Drop links here to open them");
}

} // namespace
} // namespace quorvex
