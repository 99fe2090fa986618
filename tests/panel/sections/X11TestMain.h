#pragma once

#include <QRect>

#include <string>
#include <vector>

namespace quorvex::test {

class X11Desktop;

/// The X server the X11 test programs run on, set up by their shared main (X11TestMain.cpp) after
/// QUORVEX_X11_DESKTOP, a comma-separated list of:
///   bare         no window manager (else openbox, which must then start)
///   scale2       Qt draws everything twice as large (QT_SCALE_FACTOR=2)
///   two-screens  two 1280 x 800 monitors side by side instead of one
/// `missing` says why there is no server (the tests skip).
struct X11Session {
    std::string display;
    std::string missing;
    bool managed = false; // a window manager runs
    double scale = 1;
    std::vector<QRect> monitors; // in the server's pixels
    X11Desktop* desktop = nullptr;

    bool ready() const { return !display.empty(); }
};

X11Session& x11();

} // namespace quorvex::test
