#pragma once

#include "storage/engine/CleanupCategory.h"

#include <QAbstractButton>
#include <QWidget>

#include <memory>
#include <vector>

class QLabel;
class QPushButton;

namespace quorvex {

class ActivitySpinner;
class AnimatedValue;
class DonutChart;
class RollingLabel;
class SpaceSaved;
class StorageCleanerModel;

/// The recommended items at a glance: their total and the button that selects them all.
class RecommendedCard final : public QWidget {
    Q_OBJECT
public:
    explicit RecommendedCard(StorageCleanerModel& model, QWidget* parent = nullptr);

    QString figure() const;
    QPushButton* selectButton() const { return m_select; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();

    StorageCleanerModel& m_model;
    RollingLabel* m_figure = nullptr;
    QPushButton* m_select = nullptr;
};

/// One category on the overview: icon, title, size (a spinner while it scans), explanation and
/// safety badge. A click opens the category's page.
class CategoryCard final : public QAbstractButton {
    Q_OBJECT
public:
    CategoryCard(StorageCleanerModel& model, CleanupCategory::Kind kind, QWidget* parent = nullptr);
    ~CategoryCard() override;

    CleanupCategory::Kind kind() const { return m_kind; }
    /// The size text, or empty while the kind scans and the spinner shows.
    QString sizeLabel() const;
    bool isScanning() const;
    /// The share of the primary colour the background settles at: more while hovered.
    qreal backgroundOpacity() const { return underMouse() ? 0.07 : 0.04; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void refresh();
    void fadeBackground(qreal target);

    StorageCleanerModel& m_model;
    CleanupCategory::Kind m_kind;
    ActivitySpinner* m_spinner = nullptr;
    std::unique_ptr<AnimatedValue> m_hover; // the background's opacity, fading to the target
};

/// The storage cleaner's overview page: total in use with the space-saved badge, the donut chart
/// beside the recommended card, and a card for every category, two per row.
class OverviewDetail final : public QWidget {
    Q_OBJECT
public:
    OverviewDetail(StorageCleanerModel& model, SpaceSaved& saved, QWidget* parent = nullptr);

    /// "Scanning…" while the first results are out, else the total " in use".
    static QString headline(const StorageCleanerModel& model);
    QString shownHeadline() const;
    DonutChart* chart() const { return m_chart; }
    RecommendedCard* recommendedCard() const { return m_recommended; }
    const std::vector<CategoryCard*>& cards() const { return m_cards; }

private:
    void refresh();

    StorageCleanerModel& m_model;
    RollingLabel* m_headline = nullptr;
    DonutChart* m_chart = nullptr;
    RecommendedCard* m_recommended = nullptr;
    std::vector<CategoryCard*> m_cards;
};

} // namespace quorvex
