#pragma once

#include "panel/widgets/SettingsRow.h"

#include <functional>

namespace quorvex {

/// A card row that runs its action on a click anywhere in it, marked by a trailing chevron.
class ActionRow final : public SettingsRow {
    Q_OBJECT
public:
    ActionRow(const QString& symbol, const QString& title, bool isLast, std::function<void()> action,
              QWidget* parent = nullptr);
};

} // namespace quorvex
