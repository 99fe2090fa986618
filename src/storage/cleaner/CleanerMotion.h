#pragma once

#include "ui/Motion.h"

#include <QObject>

#include <functional>
#include <memory>

namespace quorvex {

class Animator;
class Clock;
class StorageCleanerModel;

/// The motion of the storage cleaner's views over one model: the Animator they share and the
/// motion of the model change being announced. A change of the model moves with the content
/// spring (a scan result, a clean) unless the view that makes it names another around it
/// (during()): a click on a row, a chip, "All" and "None" move with the selection spring.
///
/// The window installs it on its clock before it builds its views; a view whose model has none
/// gets one on the system clock. It lives as long as the model (a child of it). GUI thread.
class CleanerMotion final : public QObject {
    Q_OBJECT

public:
    /// Selection changes made from the views: rows, quick selections, "All", "None".
    static Motion selectionSpring() { return Motion::spring(0.5, 0.85); }
    /// Changes that swap content: scan results, "Select Recommended", clearing the archive filter.
    static Motion contentSpring() { return Motion::spring(0.5, 1.0); }
    /// Pointer feedback: a card's hover, the chart's dimmed slices.
    static Motion pointerFade() { return Motion::easeOut(0.15); }

    /// The model's motion, made on the system clock when none was installed.
    static CleanerMotion& of(StorageCleanerModel& model);
    /// Gives the model a motion on `clock`, in place of any it had; views made before keep theirs.
    static CleanerMotion& install(StorageCleanerModel& model, Clock& clock);

    ~CleanerMotion() override;

    Animator& animator() const { return *m_animator; }
    /// How the change being announced moves.
    const Motion& change() const { return m_change; }
    /// Runs `change` (which changes the model) so that the views follow it with `motion`.
    void during(const Motion& motion, const std::function<void()>& change);

private:
    CleanerMotion(StorageCleanerModel& model, Clock& clock);

    std::unique_ptr<Animator> m_animator;
    Motion m_change = contentSpring();
};

} // namespace quorvex
