#pragma once

#include "storage/engine/StorageCleanerModel.h"

#include <QWidget>

#include <functional>

class QButtonGroup;
class QLabel;
class QPushButton;
class QScrollArea;
class QVBoxLayout;

namespace quorvex {

/// The review sheet's content: what will go, category by category, the choice between the Trash
/// and immediate deletion with what each means, and the confirm and cancel buttons. Escape
/// cancels; Return confirms unless a focused button takes it (a focused "Cancel" cancels). It redraws
/// whenever the model changes, so a rescan under an open sheet shows what is selected now; with nothing left
/// the confirm button is disabled instead of starting a clean that would do nothing. The chosen mode lives as
/// long as the sheet and starts at Trash. GUI thread.
class ConfirmationSheet final : public QWidget {
    Q_OBJECT
public:
    using Mode = StorageCleanerModel::Mode;

    ConfirmationSheet(StorageCleanerModel& model, std::function<void(Mode)> confirm,
                      std::function<void()> cancel, QWidget* parent = nullptr);

    Mode mode() const { return m_mode; }
    void setMode(Mode mode);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void refresh();
    void refreshMode();

    StorageCleanerModel& m_model;
    std::function<void(Mode)> m_confirm;
    std::function<void()> m_cancel;
    Mode m_mode = Mode::trash;
    QLabel* m_headline = nullptr;
    QLabel* m_summary = nullptr;
    QScrollArea* m_list = nullptr;
    QVBoxLayout* m_cards = nullptr;
    QButtonGroup* m_modes = nullptr;
    QWidget* m_explanation = nullptr;
    QVBoxLayout* m_explanations = nullptr;
    QWidget* m_note = nullptr;
    QPushButton* m_confirmButton = nullptr;
};

} // namespace quorvex
