#pragma once

#include <QObject>

class QAbstractButton;
class QWidget;

namespace quorvex {

/// Return and Enter typed anywhere in a view run its default button while that button is
/// enabled, as they do in a dialog: QPushButton::setDefault works only inside a QDialog, and the
/// program's windows are plain widgets. The keys reach the view only when the focused widget
/// passes them on (a line edit, a picker, a spin box do); a text editor keeps them for its lines
/// and a focused button clicks itself. GUI thread; lives as long as the view.
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
