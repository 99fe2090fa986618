#pragma once

#include "network/guide/IllustrationSpec.h"
#include "network/guide/SetupHelp.h"
#include "network/model/SetupGuideWindow.h"

#include <QPointer>
#include <QWidget>

#include <functional>

namespace quorvex {

class SetupGuide;

/// The real setup guide window: "Quorvex Setup", 580 × 600, kept above other windows, placed 40
/// points from the left edge of the primary screen and centred vertically on every show.
class SetupGuideWidgetWindow final : public SetupGuideWindow {
public:
    SetupGuideWidgetWindow(SetupGuide& guide, IllustrationFactory illustrations,
                           std::function<void(SetupHelp::Topic)> help);
    ~SetupGuideWidgetWindow() override;

    /// A SetupGuide::WindowFactory making this window with the given drawings.
    static std::function<std::unique_ptr<SetupGuideWindow>(SetupGuide&)>
    factory(IllustrationFactory illustrations, std::function<void(SetupHelp::Topic)> help);

    void present() override;
    void close() override;
    bool isVisible() const override;

    QWidget* widget() const { return m_window; }

private:
    QPointer<QWidget> m_window;
};

} // namespace quorvex
