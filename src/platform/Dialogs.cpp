#include "platform/Dialogs.h"

#include "platform/GuiThread.h"
#include "platform/WidgetDialogs.h"

namespace quorvex {
namespace {

Dialogs*& installed() {
    static Dialogs* dialogs = nullptr;
    return dialogs;
}

} // namespace

Dialogs& Dialogs::shared() {
    static WidgetDialogs widgets;
    Dialogs* dialogs = installed();
    return dialogs ? *dialogs : widgets;
}

Dialogs* Dialogs::install(Dialogs* dialogs) {
    Q_ASSERT(isGuiThread());
    Dialogs* previous = installed();
    installed() = dialogs;
    return previous;
}

} // namespace quorvex
