#pragma once

#include "platform/data/Keychain.h"
#include "platform/data/SystemClock.h"

#include <QFuture>

#include <map>
#include <utility>

namespace quorvex::test {

/// An in-memory keychain installed as Keychain::shared() for the life of the object; it answers
/// every call at once. Control: make writes fail, or the store unavailable, with a reason; read
/// the items back.
class FakeKeychain final : public Keychain {
public:
    using Item = std::pair<QString, QString>; // service, account

    explicit FakeKeychain(Clock& clock = systemClock())
        : Keychain(clock) {
        m_previous = Keychain::install(this);
    }
    ~FakeKeychain() override { Keychain::install(m_previous); }
    FakeKeychain(const FakeKeychain&) = delete;
    FakeKeychain& operator=(const FakeKeychain&) = delete;

    void setFailWrites(bool fail, const QString& reason = QStringLiteral("The item couldn’t be written.")) {
        m_failWrites = fail;
        m_writeFailure = reason;
    }
    /// Unavailable: every call fails with `reason`, as a store that is not running does.
    void setUnavailable(const std::optional<QString>& reason) { m_unavailable = reason; }
    const std::map<Item, QByteArray>& items() const { return m_items; }
    QString label(const QString& service, const QString& account) const {
        const auto found = m_labels.find({service, account});
        return found == m_labels.end() ? QString() : found->second;
    }
    /// Reads an item at once, for assertions.
    std::optional<QByteArray> item(const QString& service, const QString& account) const {
        const auto found = m_items.find({service, account});
        return found == m_items.end() ? std::nullopt : std::optional(found->second);
    }

protected:
    QFuture<std::optional<QString>> startUnavailableReason() override {
        return QtFuture::makeReadyFuture(m_unavailable);
    }
    QFuture<ReadResult> startRead(const QString& service, const QString& account) override {
        if (m_unavailable)
            return QtFuture::makeReadyFuture(ReadResult{std::nullopt, failure(*m_unavailable)});
        return QtFuture::makeReadyFuture(ReadResult{item(service, account), {}});
    }
    QFuture<Status> startWrite(const QString& service, const QString& account, const QString& label,
                               const QByteArray& data) override {
        if (m_unavailable)
            return QtFuture::makeReadyFuture(failure(*m_unavailable));
        if (m_failWrites)
            return QtFuture::makeReadyFuture(Status{false, 7, m_writeFailure});
        m_items[{service, account}] = data;
        m_labels[{service, account}] = label;
        return QtFuture::makeReadyFuture(Status{});
    }
    QFuture<Status> startRemove(const QString& service, const QString& account) override {
        if (m_unavailable)
            return QtFuture::makeReadyFuture(failure(*m_unavailable));
        m_items.erase({service, account});
        return QtFuture::makeReadyFuture(Status{});
    }
    QFuture<Status> startRemoveAll(const QString& service, const std::optional<QString>& keep) override {
        if (m_unavailable)
            return QtFuture::makeReadyFuture(failure(*m_unavailable));
        std::erase_if(m_items, [&](const auto& entry) {
            return entry.first.first == service && (!keep || entry.first.second != *keep);
        });
        return QtFuture::makeReadyFuture(Status{});
    }

private:
    static Status failure(const QString& reason) { return {false, 5, reason}; }

    Keychain* m_previous = nullptr;
    std::map<Item, QByteArray> m_items;
    std::map<Item, QString> m_labels;
    bool m_failWrites = false;
    QString m_writeFailure;
    std::optional<QString> m_unavailable;
};

} // namespace quorvex::test
