#pragma once

#include <QWidget>

#include <optional>

namespace quorvex {

/// Laid over the whole panel while something is dragged over it: a dashed accent outline on a
/// tinted card saying what can be dropped on the device. Lets every event through to the
/// panel's drop target underneath.
class DropHighlight final : public QWidget {
    Q_OBJECT
public:
    DropHighlight(const std::optional<QString>& device, bool physical, QWidget* parent = nullptr);

    static QString headline(const std::optional<QString>& device, bool physical);
    static QString caption(bool physical);
    QString headline() const { return m_headline; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_headline;
    QString m_caption;
};

} // namespace quorvex
