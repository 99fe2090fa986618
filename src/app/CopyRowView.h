#pragma once

#include "app/MenuRowView.h"

#include <QPixmap>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class QLabel;

namespace quorvex {

class Clock;
class ScheduledCall;

/// A menu row with a title and one or more values (an app's identity, its groups). A copyable
/// row puts its values on the clipboard when clicked (or chosen with the keyboard), shows
/// "Copied" with a green check for 1.2 s, then its first value again. The restore runs on the
/// Clock and is owned by the row, so it dies with the row; a second click replaces it.
class CopyRowView final : public MenuRowView {
    Q_OBJECT
public:
    static constexpr double kCopiedDuration = 1.2;

    CopyRowView(const QString& title, const QStringList& values, bool copyable, const QString& symbol,
                Clock& clock);
    ~CopyRowView() override;

    const QStringList& values() const { return m_values; }
    bool isCopyable() const { return m_copyable; }
    /// The text shown in value line `index` (elided to fit).
    QString valueText(int index) const;
    bool isShowingCopied() const;
    /// The colours of the current state, for tests: icon tint, title, values.
    QColor iconTint() const;
    QColor titleColor() const;
    QColor valueColor() const;

protected:
    bool isInteractive() const override { return m_copyable; }
    void activate() override;
    void highlightUpdated() override { updateColors(); }
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateColors();
    void restore();
    void layoutLabels();

    Clock& m_clock;
    QStringList m_values;
    bool m_copyable;
    QString m_symbol;
    QString m_iconSymbol;
    QLabel* m_icon;
    QLabel* m_titleLabel;
    std::vector<QLabel*> m_valueLabels;
    std::vector<QString> m_valueTexts; // unelided text of each value line
    std::optional<double> m_copiedUntil;
    std::unique_ptr<ScheduledCall> m_restore;
};

} // namespace quorvex
