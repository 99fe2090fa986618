#pragma once

#include <QVariant>
#include <QWidget>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

class QPushButton;

namespace quorvex {

/// A segmented picker: one capsule button per option in a faint capsule; the option equal to the
/// selection is drawn semibold white on the accent colour. A click calls `select` with the
/// option's value, also for the option already selected.
class Segments final : public QWidget {
    Q_OBJECT
public:
    using Option = std::pair<QString, QVariant>;

    Segments(std::vector<Option> options, std::optional<QVariant> selection,
             std::function<void(const QVariant&)> select, QWidget* parent = nullptr);

    void setSelection(const std::optional<QVariant>& selection);
    /// The index of the selected option; none when the selection is none or not an option.
    std::optional<size_t> selectedIndex() const;
    QPushButton* button(size_t index) const { return m_buttons[index]; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void restyle();

    std::vector<Option> m_options;
    std::optional<QVariant> m_selection;
    std::vector<QPushButton*> m_buttons;
};

} // namespace quorvex
