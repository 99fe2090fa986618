#pragma once

#include <QString>

namespace quorvex {

/// The toast of a provisional service: `feature` does not exist in this build yet.
void showNotAvailableYet(const QString& feature);

} // namespace quorvex
