#pragma once

namespace quorvex {

/// What a screen reader learns from the panel's own controls, beyond what Qt tells of stock
/// widgets: a row that acts is a button named by its title; a value menu is a menu button that
/// announces its value; a segment is an option that is chosen or not; a spinner is a busy
/// progress indicator named after what it waits for. Every panel widget installs it when made.
/// GUI thread.
struct PanelAccessibility {
    static void install();
};

} // namespace quorvex
