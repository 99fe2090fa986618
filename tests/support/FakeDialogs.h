#pragma once

#include "platform/gui/Dialogs.h"

#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

namespace quorvex::test {

/// Answers the program's dialogs without a person, for the life of the object: installs itself
/// as Dialogs::shared() and puts the previous one back when destroyed. Every alert is recorded.
/// An alert with no queued answer gets the first button (kFirstButton); when the alert refuses it
/// (Alert::acceptsFirstButton), the next queued answer is taken, or the last button.
class FakeDialogs final : public Dialogs {
public:
    /// What one alert asked, copied when it ran.
    struct AskedAlert {
        QString message;
        QString informativeText;
        Alert::Style style = Alert::Style::Informational;
        QStringList buttons; // titles in order; empty when the alert used the default OK
        std::vector<bool> destructive;
        bool hadAccessory = false;
    };

    FakeDialogs();
    ~FakeDialogs() override;
    FakeDialogs(const FakeDialogs&) = delete;
    FakeDialogs& operator=(const FakeDialogs&) = delete;

    /// The next alert answers `response` (kFirstButton + button index).
    void queueAnswer(int response);
    /// The next alert is answered by `answer`, which may fill in the accessory's fields first.
    void queueAnswer(std::function<int(const Alert&)> answer);

    /// The next open panel chooses `paths` (empty: cancelled). Without one queued a panel is
    /// cancelled.
    void queuePanelAnswer(std::vector<std::filesystem::path> paths);
    /// The open panels shown, in order.
    const std::vector<OpenPanel>& panels() const { return m_panels; }

    const std::vector<AskedAlert>& alerts() const { return m_alerts; }
    /// How often an alert refused its first button (see Alert::acceptsFirstButton).
    int refusedFirstButtons() const { return m_refusedFirstButtons; }
    void clear() { m_alerts.clear(); }

    int runAlert(const Alert& alert) override;
    std::vector<std::filesystem::path> runOpenPanel(const OpenPanel& panel) override;

private:
    Dialogs* m_previous = nullptr;
    std::deque<std::function<int(const Alert&)>> m_answers;
    std::vector<AskedAlert> m_alerts;
    std::deque<std::vector<std::filesystem::path>> m_panelAnswers;
    std::vector<OpenPanel> m_panels;
    int m_refusedFirstButtons = 0;
};

} // namespace quorvex::test
