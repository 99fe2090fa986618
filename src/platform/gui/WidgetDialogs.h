#pragma once

#include "platform/gui/Dialogs.h"

#include <QString>

namespace quorvex {

/// Dialogs drawn with Qt Widgets. Works on every Qt platform, the offscreen one included.
class WidgetDialogs final : public Dialogs {
public:
    int runAlert(const Alert& alert) override;
    std::vector<std::filesystem::path> runOpenPanel(const OpenPanel& panel) override;

private:
    // The folder the last open panel ended in: where the next one without a folder starts.
    QString m_lastDirectory;
};

} // namespace quorvex
