#pragma once

#include <QLayout>
#include <QList>

namespace quorvex {

/// Lays its items out left to right and starts a new line where the next one would not fit, so a
/// row of chips wraps in a narrow window instead of overlapping. Its height follows its width.
class FlowLayout final : public QLayout {
public:
    FlowLayout(QWidget* parent, int horizontalSpacing, int verticalSpacing);
    ~FlowLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;

    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

private:
    /// Places the items in `rect` (only measures when `apply` is false); answers the height used.
    int arrange(const QRect& rect, bool apply) const;

    QList<QLayoutItem*> m_items;
    int m_horizontal;
    int m_vertical;
};

} // namespace quorvex
