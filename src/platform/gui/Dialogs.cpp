#include "platform/gui/Dialogs.h"

#include "platform/data/GuiThread.h"
#include "platform/gui/WidgetDialogs.h"

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
