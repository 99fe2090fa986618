#pragma once

namespace quorvex {

/// True on the thread of the application object, or when there is no application object yet.
/// For `Q_ASSERT(isGuiThread())` in functions whose contract says "GUI thread".
bool isGuiThread();

} // namespace quorvex
