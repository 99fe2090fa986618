#pragma once

#include "ui/ScaleFade.h"

#include <QWidget>

namespace quorvex {

class AnimatedValue;
class Animator;

/// The count of selected items in an accent capsule, beside a sidebar row's texts. A first count
/// above 0 grows it from nothing about its centre as it fades in; a count of 0 shrinks and fades
/// it the same way, still showing the last count, and it leaves the layout once it is gone.
class CountBadge final : public QWidget {
    Q_OBJECT
public:
    CountBadge(Animator& animator, QWidget* parent = nullptr);

    /// Shown only above 0; a change of whether it shows moves on the selection spring.
    void setCount(int count);
    int count() const { return m_count; }
    /// How it is drawn now.
    ScaleFade look() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void follow();

    AnimatedValue* m_shown = nullptr;
    int m_count = 0;
    // What the capsule reads: the count, or while it shrinks away the last count it showed.
    QString m_text;
};

} // namespace quorvex
