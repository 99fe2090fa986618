#pragma once

#include "platform/data/Keychain.h"

#include <map>
#include <utility>

namespace quorvex::test {

/// An in-memory keychain installed as Keychain::shared() for the life of the object. Control: make
/// writes fail, or the store unavailable; read the items back.
class FakeKeychain final : public Keychain {
public:
    using Item = std::pair<QString, QString>; // service, account

    FakeKeychain() { m_previous = Keychain::install(this); }
    ~FakeKeychain() override { Keychain::install(m_previous); }
    FakeKeychain(const FakeKeychain&) = delete;
    FakeKeychain& operator=(const FakeKeychain&) = delete;

    bool isAvailable() const override { return m_available; }
    std::optional<QByteArray> read(const QString& service, const QString& account) override {
        const auto found = m_items.find({service, account});
        if (found == m_items.end())
            return std::nullopt;
        return found->second;
    }
    Status write(const QString& service, const QString& account, const QString& label,
                 const QByteArray& data) override {
        if (m_failWrites)
            return {false, -25299, QStringLiteral("The item couldn’t be written.")};
        m_items[{service, account}] = data;
        m_labels[{service, account}] = label;
        return {};
    }
    Status remove(const QString& service, const QString& account) override {
        m_items.erase({service, account});
        return {};
    }

    void setFailWrites(bool fail) { m_failWrites = fail; }
    void setAvailable(bool available) { m_available = available; }
    const std::map<Item, QByteArray>& items() const { return m_items; }
    QString label(const QString& service, const QString& account) const {
        const auto found = m_labels.find({service, account});
        return found == m_labels.end() ? QString() : found->second;
    }

private:
    Keychain* m_previous = nullptr;
    std::map<Item, QByteArray> m_items;
    std::map<Item, QString> m_labels;
    bool m_failWrites = false;
    bool m_available = true;
};

} // namespace quorvex::test
