#pragma once

#include "platform/Dialogs.h"

namespace quorvex {

/// Dialogs drawn with Qt Widgets. Works on every Qt platform, the offscreen one included.
class WidgetDialogs final : public Dialogs {
public:
    int runAlert(const Alert& alert) override;
    std::vector<std::filesystem::path> runOpenPanel(const OpenPanel& panel) override;
};

} // namespace quorvex
