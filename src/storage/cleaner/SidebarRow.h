#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

class QLabel;

namespace quorvex {

class Animator;
class CategoryIcon;
class CountBadge;

/// One row of the cleaner's sidebar: the category icon, the title over a detail line (its size or
/// "Scanning…"), and the count of selected items in an accent capsule when there are any.
class SidebarRow final : public QWidget {
    Q_OBJECT
public:
    /// The badge's motion runs on `animator`.
    SidebarRow(const QString& title, const QString& symbol, const QColor& tint, Animator& animator,
               QWidget* parent = nullptr);

    void setDetail(const QString& detail);
    QString detail() const;
    /// Shown only above 0; it grows in with the first selected item and shrinks away with the last.
    void setBadge(int badge);
    int badge() const { return m_badgeCount; }

private:
    void describe();

    QLabel* m_detail = nullptr;
    CountBadge* m_badge = nullptr;
    int m_badgeCount = 0;
};

} // namespace quorvex
