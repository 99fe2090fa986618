#pragma once

#include <QMenu>

namespace quorvex {

/// A QMenu whose rows may carry a subtitle under the title, a count badge at the right and an
/// indentation level. The action's dynamic properties `subtitleProperty`, `badgeProperty` and
/// `indentationProperty` hold them; the menu hands
/// the action to its style (MenuRowStyle), which sizes and draws such rows, so the menu is as
/// wide as its widest row instead of pushing both texts into the shortcut column.
class RowMenu final : public QMenu {
    Q_OBJECT
public:
    static constexpr const char* subtitleProperty = "quorvexSubtitle";
    static constexpr const char* badgeProperty = "quorvexBadge";
    static constexpr const char* indentationProperty = "quorvexIndentation";

    explicit RowMenu(QWidget* parent = nullptr);
    explicit RowMenu(const QString& title, QWidget* parent = nullptr);

protected:
    void initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const override;
};

} // namespace quorvex
