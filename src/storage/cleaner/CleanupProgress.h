#pragma once

#include <QObject>
#include <QString>

#include <cstdint>

namespace quorvex {

/// What the cleanup progress panel shows: a headline and where the cleanup stands. One instance,
/// owned by CleanupHUD; the panel's view redraws from changed(). GUI thread.
class CleanupProgress final : public QObject {
    Q_OBJECT
public:
    /// Where a cleanup stands. `measuring` and `deleting` are the working phases, `success` and
    /// `failure` the finished ones.
    struct Phase {
        enum class Kind { measuring, deleting, success, failure };
        Kind kind = Kind::measuring;
        std::int64_t done = 0;  // deleting: bytes handled so far
        std::int64_t total = 0; // deleting: bytes of the whole run
        QString message;        // success, failure: the detail line

        static Phase measuring() { return {}; }
        static Phase deleting(std::int64_t done, std::int64_t total) {
            return {Kind::deleting, done, total, {}};
        }
        static Phase success(QString message) { return {Kind::success, 0, 0, std::move(message)}; }
        static Phase failure(QString message) { return {Kind::failure, 0, 0, std::move(message)}; }

        bool isFinished() const { return kind == Kind::success || kind == Kind::failure; }
        friend bool operator==(const Phase&, const Phase&) = default;
    };

    explicit CleanupProgress(QObject* parent = nullptr)
        : QObject(parent) {}

    const QString& title() const { return m_title; }
    const Phase& phase() const { return m_phase; }
    /// Each setter emits changed() only when the value really differs.
    void setTitle(const QString& title);
    void setPhase(const Phase& phase);

signals:
    void changed();

private:
    QString m_title;
    Phase m_phase;
};

} // namespace quorvex
