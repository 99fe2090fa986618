#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class QStackedWidget;

namespace quorvex {

class RollingLabel;
class StorageCleanerModel;

/// The bar pinned under the cleaner's page: what is selected (count and size) and "Review &
/// Clean…", which is enabled only with a selection and while no clean runs. The window makes the
/// button its default action (Return). Redraws from the model; the size's changed digits roll up,
/// on the bar's spring when the count changes. GUI thread.
class SelectionBar final : public QWidget {
    Q_OBJECT
public:
    SelectionBar(StorageCleanerModel& model, std::function<void()> review, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();

    StorageCleanerModel& m_model;
    QStackedWidget* m_left = nullptr;
    QLabel* m_count = nullptr;
    RollingLabel* m_bytes = nullptr;
    int m_shownCount = 0;
    QPushButton* m_review = nullptr;
};

} // namespace quorvex
