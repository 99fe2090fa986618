#pragma once

#include "panel/sections/PanelRootState.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>
#include <optional>

class QGraphicsOpacityEffect;
class QLabel;
class QStackedWidget;
class QVBoxLayout;

namespace quorvex {

class ContentVeil;
class DropHighlight;
class ScheduledCall;
class SimulatorBar;
struct PanelServices;

/// The side panel's content: the collapsed strip, or the simulator bar above the content of the
/// panel's state (a connected device's tools, the current app's cards, or an empty-state
/// message) and the footer, on a rounded card in the panel colour. It is also the drop target
/// of the whole panel: while an accepted drag hovers, the content blurs and dims under the drop
/// highlight, and a drop hands its URLs to the services' drop handler.
///
/// It keeps nothing of its own but the drag flag; everything shown is read from the controller
/// on `refresh()`, which the controller's and the device lists' change signals trigger. The app
/// cards are rebuilt only for another app or simulator, and the connected-device tools never
/// while a device stays the target, so sections keep their own state while they stay on
/// screen; every refresh hands them the current record of their app or device. The blur and dimming fade over
/// kVeilDuration on the services' Clock. GUI thread.
class DeviceHubPanelView final : public QWidget {
    Q_OBJECT
public:
    static constexpr double kVeilDuration = 0.15;
    static constexpr double kVeilBlurRadius = 8.0;
    static constexpr double kVeilOpacity = 0.35;
    static constexpr double kCornerRadius = 14.0;

    explicit DeviceHubPanelView(PanelServices& services, QWidget* parent = nullptr);
    ~DeviceHubPanelView() override;

    PanelRootState::Kind state() const { return m_state; }
    bool isDropTargeted() const { return m_dropTargeted; }
    /// The content's blur radius and opacity as drawn now.
    double blurRadius() const;
    double contentOpacity() const;
    /// The highlight while a drag hovers, else null.
    DropHighlight* dropHighlight() const;
    SimulatorBar* simulatorBar() const { return m_bar; }

    /// The panel colour: white at level 0.13 on a dark appearance, 0.925 on a light one.
    static QColor panelColour(bool dark);
    /// Whether a palette draws a dark appearance (its window colour is darker than mid grey).
    static bool isDark(const QPalette& palette);

public slots:
    /// Reads the controller again and shows what it says.
    void refresh();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void setDropTargeted(bool targeted);
    void showHighlight();
    void stepVeil();
    void applyVeil();
    void showDevice();
    void showApp();
    void showEmptyState();
    void showFooter(bool physical);

    PanelServices& m_services;
    PanelRootState::Kind m_state = PanelRootState::Kind::NoSimulator;

    QWidget* m_content; // everything but the card, the veil and the highlight
    ContentVeil* m_contentVeil;
    QWidget* m_full; // bar, divider, content, footer
    SimulatorBar* m_bar;
    QStackedWidget* m_stack; // one page per state
    QVBoxLayout* m_deviceColumn;
    QVBoxLayout* m_appHeaderSlot;
    QVBoxLayout* m_appColumn;
    QVBoxLayout* m_footerSlot;
    QLabel* m_emptySymbol;
    QLabel* m_emptyTitle;
    QLabel* m_emptyDescription;
    DropHighlight* m_highlight = nullptr;
    QGraphicsOpacityEffect* m_highlightFade = nullptr;

    // What the shown sections were made for; a change rebuilds them.
    QPointer<QWidget> m_deviceSection;
    std::optional<QString> m_appShown;
    QPointer<QWidget> m_networkCard;
    QPointer<QWidget> m_actionsCard;
    QPointer<QWidget> m_permissionsCard;
    std::optional<bool> m_footerPhysical;

    bool m_dropTargeted = false;
    double m_veil = 0; // 0: clear, 1: fully blurred and dimmed
    double m_veilFrom = 0;
    double m_veilStart = 0;
    std::unique_ptr<ScheduledCall> m_veilTick;
    std::unique_ptr<ScheduledCall> m_retiredTick;
};

} // namespace quorvex
