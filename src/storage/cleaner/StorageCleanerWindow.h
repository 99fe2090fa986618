#pragma once

#include "storage/cleaner/CleanerWindowService.h"
#include "storage/cleaner/CleanupHUDReporter.h"
#include "storage/engine/StorageCleanerModel.h"

#include <QDialog>
#include <QMainWindow>
#include <QObject>
#include <QPointer>

#include <memory>

namespace quorvex {

class Clock;

class CleanupHUD;
class LongTaskGate;
class SpaceSaved;
class Trash;

/// The application's one storage cleaner window and the one model it shows. The model lives as
/// long as this object, so the selection and the results survive closing the window (which only
/// hides it). Every show points the window at a section and rescans every kind; the review sheet
/// on it hands a confirmed clean to the model, whose progress goes to the shared progress panel.
///
/// The window is made on the first show; the review sheet exists from presentReview() until its
/// confirm or cancel closes it, and the clean it starts runs on in the model. The window's frame
/// is kept in the user defaults unless the program runs under tests. GUI thread.
class StorageCleanerWindow final : public QObject, public CleanerWindowService {
    Q_OBJECT
public:
    static inline const QString kFrameKey = QStringLiteral("StorageCleanerWindow/frame");

    struct Dependencies {
        StorageCleanerModel::Scanner scanner;
        Trash& trash;
        LongTaskGate& gate;
        CleanupHUD& hud;
        SpaceSaved& spaceSaved;
        bool keepsFrame = true; // false under tests: no frame is saved or restored
        Clock* clock = nullptr; // the views' motion runs on it; the system clock when none
    };
    explicit StorageCleanerWindow(Dependencies dependencies);
    ~StorageCleanerWindow() override;

    /// `section` is a kind's raw value ("archives"); an unknown one opens the overview. With an
    /// app the archives list is limited to that app, and without a section the archives page opens.
    void show(const std::optional<QString>& section, const std::optional<SimulatorApp>& app) override;
    /// Puts the review sheet on the window: nothing before the first show or while a sheet is up.
    void presentReview();

    StorageCleanerModel& model() { return m_model; }
    /// Absent until the first show.
    QMainWindow* window() const { return m_window; }
    /// The review sheet while it is up.
    QDialog* sheet() const { return m_sheet; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QMainWindow* makeWindow();

    CleanupHUDReporter m_reporter;
    StorageCleanerModel m_model;
    SpaceSaved& m_spaceSaved;
    bool m_keepsFrame;
    QPointer<QMainWindow> m_window;
    QPointer<QDialog> m_sheet;
};

} // namespace quorvex
