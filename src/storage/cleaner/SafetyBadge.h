#pragma once

#include "storage/cleaner/CapsuleLabel.h"
#include "storage/engine/CleanupCategory.h"

#include <QWidget>

namespace quorvex {

/// The capsule that says how carefully a category's contents must be looked at before deleting.
class SafetyBadge final : public QWidget {
    Q_OBJECT
public:
    explicit SafetyBadge(CleanupSafety safety, QWidget* parent = nullptr);

    void setSafety(CleanupSafety safety);
    CleanupSafety safety() const { return m_safety; }

    /// Title, symbol and colour from the safety look; the same font, padding and capsule for all.
    static CapsuleLabel look(CleanupSafety safety);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CleanupSafety m_safety;
};

} // namespace quorvex
