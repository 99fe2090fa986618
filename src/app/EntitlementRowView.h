#pragma once

#include "app/MenuRowView.h"
#include "simulator/AppDetails.h"

#include <QStringList>

#include <memory>

class QLabel;

namespace quorvex {

class Clock;
class ScheduledCall;

/// A menu row for one entitlement of an app: its readable name, its key and its values (the
/// first 12, then "…and n more"). A click copies "key = values" and shows "Copied ✓" in place
/// of the name for 1.2 s, on the Clock.
class EntitlementRowView final : public MenuRowView {
    Q_OBJECT
public:
    static constexpr int kMaxValueLines = 12;
    static constexpr double kCopiedDuration = 1.2;

    EntitlementRowView(const AppDetails::Entitlement& entitlement, Clock& clock);
    ~EntitlementRowView() override;

    const QString& copyText() const { return m_copyText; }
    /// The texts of the lines from top to bottom: name, key, values, the "more" line.
    QStringList lineTexts() const;

protected:
    void activate() override;
    void paintEvent(QPaintEvent* event) override;

private:
    Clock& m_clock;
    QString m_copyText;
    QString m_name;
    QLabel* m_nameLabel = nullptr;
    QList<QLabel*> m_lines;
    std::unique_ptr<ScheduledCall> m_restore;
};

} // namespace quorvex
