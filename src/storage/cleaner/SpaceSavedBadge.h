#pragma once

#include <QWidget>

#include <memory>

namespace quorvex {

class Animator;
class RollingText;
class SpaceSaved;

/// The green badge with the running total of space cleaned so far; hidden while nothing has been
/// cleaned, and it follows the total as cleans raise it: the changed digits roll up on a spring
/// and the badge's width follows the rolling figure.
class SpaceSavedBadge final : public QWidget {
    Q_OBJECT
public:
    /// Its figure rolls on `animator`.
    SpaceSavedBadge(SpaceSaved& saved, Animator& animator, QWidget* parent = nullptr);
    ~SpaceSavedBadge() override;

    /// The figure shown ("Empty" never shows: the badge is hidden below 1 byte).
    QString figure() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void follow();

    SpaceSaved& m_saved;
    std::unique_ptr<RollingText> m_figure;
};

} // namespace quorvex
