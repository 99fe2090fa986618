#pragma once

namespace quorvex {

/// Tells the user that a long task (a cleanup, a snapshot or a download) is still running: the
/// "Please wait" toast, shown by whoever was refused by the busy flag. From another thread it is
/// posted to the GUI thread.
void showBusyToast();

} // namespace quorvex
