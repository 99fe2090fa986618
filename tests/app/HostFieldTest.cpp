#include "app/HostField.h"

#include "support/QtPrinters.h"

#include <QLabel>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

const QString kLocal =
    "Local addresses can’t be blocked: simulator traffic to this computer doesn’t go through the "
    "network extension. Stop the local server instead.";
const QString kEmpty = "Enter a host name.";
const QString kInvalid = "That isn’t a host name. Try api.example.com, a URL, or an IP address.";

TEST(HostFieldTest, AcceptsBlockableHostsAndExplainsEveryOtherText) {
    struct Case {
        QString text;
        std::optional<QString> message;
    };
    const std::vector<Case> cases = {
        {"api.example.com", std::nullopt},
        {"  https://Cdn.Example.com:8443/path  ", std::nullopt},
        {"203.0.113.9", std::nullopt},
        {" LOCALHOST:8080 ", kLocal},
        // These parse as hosts, so they must be caught before the parser accepts them.
        {"127.0.0.1", kLocal},
        {"::1", kLocal},
        {"[::1]:8080", kLocal},
        {"http://127.0.0.1:3000/api", kLocal},
        {"http://[::1]:3000/", kLocal},
        {"127.1.2.3", kLocal},
        // Only the normalised host shows these are local.
        {"::ffff:127.0.0.1", kLocal},
        {"http://[::1]/", kLocal},
        // Real hosts whose names only start like a local one can be blocked.
        {"localhost.example.com", std::nullopt},
        {"127.example.com", std::nullopt},
        {"localhostapp.io", std::nullopt},
        {"https://localhost.localdomain:3000/", std::nullopt},
        {"::ffff:128.0.0.1", std::nullopt},
        // A name of one label is no host for the plan, so it gets the invalid-host message.
        {"http://localhost/", kInvalid},
        {"   ", kEmpty},
        {"", kEmpty},
        {"foo bar", kInvalid},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(HostField::rejection(c.text), c.message);

        HostField field;
        field.field()->setText(c.text);
        EXPECT_EQ(field.validate(), !c.message);
        EXPECT_EQ(field.errorLabel()->isVisibleTo(&field), c.message.has_value());
        if (c.message) {
            EXPECT_EQ(field.errorLabel()->text(), *c.message);
            EXPECT_EQ(field.field()->selectedText(), c.text) << "the text is selected for retyping";
        }
    }
}

TEST(HostFieldTest, AnErrorGrowsTheFieldAndPutsTheMessageAboveTheTextField) {
    HostField field;
    EXPECT_EQ(field.size(), QSize(230, 24));
    EXPECT_EQ(field.field()->geometry(), QRect(0, 0, 230, 24));
    EXPECT_EQ(field.field()->placeholderText(), "api.example.com");
    field.showError(kLocal);
    const int h = field.errorLabel()->height();
    EXPECT_GT(h, 20) << "the long message wraps";
    EXPECT_EQ(field.size(), QSize(230, h + 30));
    EXPECT_EQ(field.field()->geometry(), QRect(0, h + 6, 230, 24));
    EXPECT_EQ(field.errorLabel()->geometry(), QRect(0, 0, 230, h));
}

} // namespace
} // namespace quorvex
