#pragma once

namespace quorvex {

/// The setup guide's one window, as the guide drives it: created on first show, then only hidden
/// and shown again. The real one hosts SetupGuideView; tests use a recording stand-in.
class SetupGuideWindow {
public:
    virtual ~SetupGuideWindow() = default;

    /// Places the window at its spot on the main screen, brings it to the front and focuses it.
    virtual void present() = 0;
    /// Hides the window; the guide keeps it for the next show.
    virtual void close() = 0;
    virtual bool isVisible() const = 0;
};

} // namespace quorvex
