#include "support/FakeDialogs.h"

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

int FakeDialogs::runAlert(const Alert& alert) {
    AskedAlert asked{alert.message, alert.informativeText, alert.style, {}, {}, alert.accessory != nullptr};
    for (const AlertButton& button : alert.buttons) {
        asked.buttons.append(button.title);
        asked.destructive.push_back(button.destructive);
    }
    m_alerts.push_back(asked);
    if (m_answers.empty())
        return kFirstButton;
    auto answer = std::move(m_answers.front());
    m_answers.pop_front();
    return answer(alert);
}

} // namespace quorvex::test
