#pragma once

#include <QMenu>

namespace quorvex {

struct PanelServices;

/// The menu behind the screenshot tool: the two screenshot commands, the three screenshot
/// switches as check marks, the folder screenshots go to and a way to open it. It keeps
/// nothing: its rows are made again from the stored settings each time it opens, and a switch
/// writes its setting at once, so the next screenshot (from here or from a shortcut) follows it.
class ScreenshotOptions final : public QMenu {
    Q_OBJECT
public:
    explicit ScreenshotOptions(PanelServices& services, QWidget* parent = nullptr);

    /// Makes the rows again from the stored settings (done on every opening).
    void rebuild();

private:
    PanelServices& m_services;
};

} // namespace quorvex
