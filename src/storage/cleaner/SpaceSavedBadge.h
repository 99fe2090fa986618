#pragma once

#include <QWidget>

namespace quorvex {

class SpaceSaved;

/// The green badge with the running total of space cleaned so far; hidden while nothing has been
/// cleaned, and it follows the total as cleans raise it.
class SpaceSavedBadge final : public QWidget {
    Q_OBJECT
public:
    explicit SpaceSavedBadge(SpaceSaved& saved, QWidget* parent = nullptr);

    /// The figure shown ("Empty" never shows: the badge is hidden below 1 byte).
    QString figure() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void follow();

    SpaceSaved& m_saved;
};

} // namespace quorvex
