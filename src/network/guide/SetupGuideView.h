#pragma once

#include "network/guide/IllustrationSpec.h"
#include "network/guide/SetupHelp.h"
#include "network/model/SetupGuide.h"

#include <QWidget>

#include <functional>
#include <vector>

class QBoxLayout;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace quorvex {

/// The setup guide window's content: the step indicator, the page of the current phase (an
/// illustration above a title, a message and a line on whether the step is confirmed) and the
/// footer with Back, the error, the cancel button and the primary button. It shows only what the
/// guide says and calls only the guide's operations; it redraws on every change.
class SetupGuideView final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 580;
    static constexpr int kHeight = 600;

    /// `help` answers the "How to …" buttons of the step pages; `close` hides the window.
    SetupGuideView(SetupGuide& guide, IllustrationFactory illustrations,
                   std::function<void(SetupHelp::Topic)> help, std::function<void()> close,
                   QWidget* parent = nullptr);

    /// The texts of a page, as the guide's state decides them.
    struct PageTexts {
        QString title;
        QString message;
    };
    static PageTexts pageTexts(const SetupGuide& guide);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void render();
    void renderIndicator();
    void renderPage();
    void renderFooter();
    void restoreFocus(const QString& name);
    QWidget* makeStepStatus(SetupGuide::Phase step, const QString& verified, const QString& waiting,
                            const QString& notYet, SetupHelp::Topic help);
    QWidget* makeDetail();
    IllustrationSpec illustrationSpec() const;

    SetupGuide& m_guide;
    IllustrationFactory m_illustrations;
    std::function<void(SetupHelp::Topic)> m_help;
    std::function<void()> m_close;

    QHBoxLayout* m_indicator = nullptr;
    std::vector<QPushButton*> m_steps;
    QPushButton* m_back = nullptr;
    QHBoxLayout* m_errorSlot = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_primary = nullptr;
    QVBoxLayout* m_pageArea = nullptr;
    QHBoxLayout* m_footer = nullptr;
    QWidget* m_page = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_message = nullptr;
    QVBoxLayout* m_detailSlot = nullptr;
    QWidget* m_illustration = nullptr;
    std::optional<SetupGuide::Phase> m_shownPhase;
    IllustrationSpec m_shownSpec;
};

} // namespace quorvex
