#pragma once

#include "storage/cleaner/CapsuleLabel.h"
#include "storage/engine/CleanupCategory.h"

#include <QWidget>

namespace quorvex {

/// The capsule that says how carefully a category's contents must be looked at before deleting.
class SafetyBadge final : public QWidget {
    Q_OBJECT
public:
    explicit SafetyBadge(CleanupCategory::Safety safety, QWidget* parent = nullptr);

    void setSafety(CleanupCategory::Safety safety);
    CleanupCategory::Safety safety() const { return m_safety; }

    /// Title, symbol and colour from the safety look; the same font, padding and capsule for all.
    static CapsuleLabel look(CleanupCategory::Safety safety);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CleanupCategory::Safety m_safety;
};

} // namespace quorvex
