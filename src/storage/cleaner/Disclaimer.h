#pragma once

#include <QWidget>

namespace quorvex {

/// The fixed note at the foot of the cleaner's window: the use-at-your-own-risk terms, on the bar
/// material, wrapping fully.
class Disclaimer final : public QWidget {
    Q_OBJECT
public:
    static inline const QString kText =
        QStringLiteral("<b>Use at your own risk.</b> Cleaning permanently deletes data, or moves it to the "
                       "Trash, where it’s "
                       "deleted for good once you empty it. Review every selection before you clean and keep "
                       "a current backup "
                       "(e.g. Time Machine). Quorvex is provided “as is”, without warranty of any kind, and "
                       "its developer isn’t "
                       "liable for any loss of data or other damage resulting from its use.");

    explicit Disclaimer(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace quorvex
