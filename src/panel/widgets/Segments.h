#pragma once

#include <QAbstractButton>
#include <QVariant>
#include <QWidget>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace quorvex {

/// One option of Segments: its title on a capsule, semibold white on the accent colour while
/// chosen. Checked means chosen; only the selection sets it, never the click.
class SegmentButton final : public QAbstractButton {
    Q_OBJECT
public:
    SegmentButton(const QString& title, QWidget* parent);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void nextCheckState() override {}
};

/// A segmented picker: one capsule button per option in a faint capsule; the option equal to the
/// selection is drawn semibold white on the accent colour. A click, Space or Return calls
/// `select` with the option's value, also for the option already selected. A screen reader hears
/// the options as radio buttons, the chosen one checked.
class Segments final : public QWidget {
    Q_OBJECT
public:
    using Option = std::pair<QString, QVariant>;

    Segments(std::vector<Option> options, std::optional<QVariant> selection,
             std::function<void(const QVariant&)> select, QWidget* parent = nullptr);

    void setSelection(const std::optional<QVariant>& selection);
    /// The index of the selected option; none when the selection is none or not an option.
    std::optional<size_t> selectedIndex() const;
    QAbstractButton* button(size_t index) const { return m_buttons[index]; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void restyle();

    std::vector<Option> m_options;
    std::optional<QVariant> m_selection;
    std::vector<SegmentButton*> m_buttons;
};

} // namespace quorvex
