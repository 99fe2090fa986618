#pragma once

#include <string>

namespace quorvex::test {

class X11Desktop;

/// The X server the X11 test programs run on, set up by their shared main (X11TestMain.cpp):
/// an Xvfb with openbox when it is installed. Empty when there is no X server (the tests skip).
struct X11Session {
    std::string display;
    bool managed = false; // a window manager runs
    X11Desktop* desktop = nullptr;
};

X11Session& x11();

} // namespace quorvex::test
