#pragma once

#include <QObject>

class QAbstractButton;
class QWidget;

namespace quorvex {

/// Return and Enter typed in a view run its default button while that button is enabled, as they
/// do in a dialog: QPushButton::setDefault works only inside a QDialog, and the program's windows
/// and sheets are plain widgets. A focused button answers the keys itself (a focused "Cancel"
/// cancels, it never confirms), and so does a text editor for its lines; a line edit, a picker or
/// a check box passes them on to the default. GUI thread; lives as long as the view.
class DefaultAction final : public QObject {
    Q_OBJECT
public:
    static void install(QWidget* view, QAbstractButton* button);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    DefaultAction(QWidget* view, QAbstractButton* button);

    QWidget* m_view;
    QAbstractButton* m_button;
};

} // namespace quorvex
