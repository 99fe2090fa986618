#include "support/FakeDialogs.h"

#include "platform/data/GuiThread.h"

#include <algorithm>

namespace quorvex::test {

FakeDialogs::FakeDialogs()
    : m_previous(Dialogs::install(this)) {}

FakeDialogs::~FakeDialogs() {
    Dialogs::install(m_previous);
}

void FakeDialogs::queueAnswer(int response) {
    m_answers.push_back([response](const Alert&) { return response; });
}

void FakeDialogs::queueAnswer(std::function<int(const Alert&)> answer) {
    m_answers.push_back(std::move(answer));
}

void FakeDialogs::queuePanelAnswer(std::vector<std::filesystem::path> paths) {
    m_panelAnswers.push_back(std::move(paths));
}

std::vector<std::filesystem::path> FakeDialogs::runOpenPanel(const OpenPanel& panel) {
    Q_ASSERT(isGuiThread());
    m_panels.push_back(panel);
    if (m_panelAnswers.empty())
        return {};
    auto answer = std::move(m_panelAnswers.front());
    m_panelAnswers.pop_front();
    return answer;
}

int FakeDialogs::runAlert(const Alert& alert) {
    Q_ASSERT(isGuiThread());
    AskedAlert asked{alert.message, alert.informativeText, alert.style, {}, {}, alert.accessory != nullptr};
    for (const AlertButton& button : alert.buttons) {
        asked.buttons.append(button.title);
        asked.destructive.push_back(button.destructive);
    }
    m_alerts.push_back(asked);
    for (;;) {
        int response = kFirstButton;
        if (!m_answers.empty()) {
            auto answer = std::move(m_answers.front());
            m_answers.pop_front();
            response = answer(alert);
        }
        // Like the real alert, a first button the alert refuses leaves it open for the next answer;
        // with none left, the person gives up with the last button.
        if (response != kFirstButton || !alert.acceptsFirstButton || alert.acceptsFirstButton())
            return response;
        ++m_refusedFirstButtons;
        if (m_answers.empty())
            return kFirstButton + std::max(0, static_cast<int>(alert.buttons.size()) - 1);
    }
}

} // namespace quorvex::test
