#pragma once

#include <QString>
#include <QStringList>

#include <filesystem>
#include <functional>
#include <vector>

class QWidget;

namespace quorvex {

/// One button of an alert.
struct AlertButton {
    QString title;
    bool destructive = false; // drawn as a destructive action; the button still answers its code
};

/// What a modal alert shows: a message, an informative text under it, an optional accessory
/// widget (text fields, pop-ups) and the buttons in the order given.
struct Alert {
    enum class Style { Informational, Warning, Critical };

    QString message;
    QString informativeText;
    Style style = Style::Informational;
    std::vector<AlertButton> buttons; // empty: one "OK" button
    /// Shown below the texts while the alert runs and handed back unparented afterwards, so the
    /// caller (which owns it) can read its fields. Optional.
    QWidget* accessory = nullptr;
    /// The widget that has the keyboard focus when the alert opens (the default button when null).
    QWidget* initialFocus = nullptr;
    /// Asked when the first button is chosen: false keeps the alert open (the accessory shows
    /// why). Optional; without it the first button always closes the alert.
    std::function<bool()> acceptsFirstButton;
};

/// What an open panel asks for: files (one or several) or one folder.
struct OpenPanel {
    QString message;            // shown as the panel's title
    QString prompt;             // the confirming button's title; empty: the platform's own
    bool chooseFolders = false; // folders only, and the user may create one
    bool multipleSelection = false;
    /// Name patterns the panel offers ("*.pem"); empty: any file.
    QStringList nameFilters;
    /// The folder the panel starts in; empty: the folder the last panel ended in, else home.
    std::filesystem::path directory;
};

/// Modal dialogs that stand in for the platform's alert. A confirmation brings the application to
/// the front before it is shown, and runs on the GUI thread, blocking the caller until the user
/// answers (events still run meanwhile).
class Dialogs {
public:
    /// The answer of the first button; the n-th button answers kFirstButton + n.
    static constexpr int kFirstButton = 1000;

    virtual ~Dialogs() = default;

    /// Activates the application, runs the alert modally and returns the chosen button's code.
    /// The first button is the default (Return) unless it is destructive: then the button titled
    /// "Cancel" is, or none. Escape chooses "Cancel", or the only button when it is not
    /// destructive. Titles are shown as written ("&" is no mnemonic); text fields of the
    /// accessory that hold a proposed value have it selected.
    virtual int runAlert(const Alert& alert) = 0;

    /// Activates the application and runs an open panel modally. The chosen items, or an empty
    /// list when the user cancelled.
    virtual std::vector<std::filesystem::path> runOpenPanel(const OpenPanel& panel) = 0;

    /// The process-wide dialogs: the widget backend unless a test installed its own.
    static Dialogs& shared();
    /// Installs `dialogs` as the process-wide one (nullptr restores the widget backend) and
    /// returns the one it replaces. The caller keeps ownership.
    static Dialogs* install(Dialogs* dialogs);
};

} // namespace quorvex
