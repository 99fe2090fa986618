#include "panel/sections/DropPayload.h"

#include <QMimeData>
#include <QUrl>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using Item = DropPayload::Item;

Item url(const QString& text) {
    return Item{text, std::nullopt};
}
Item text(const QString& value) {
    return Item{std::nullopt, value};
}

TEST(DropPayloadTest, EachItemGivesAtMostOneURLInItemOrder) {
    struct Case {
        const char* name;
        QList<Item> items;
        QStringList expected;
    };
    const std::vector<Case> cases = {
        {"two files in drag order",
         {url("file:///tmp/b.png"), url("file:///tmp/a.png")},
         {"file:///tmp/b.png", "file:///tmp/a.png"}},
        {"a browser link: the URL form, not its text",
         {Item{"https://example.com/Page", "Example page"}},
         {"https://example.com/Page"}},
        {"a link as text, trimmed of spaces and line breaks",
         {text("  \n https://example.com/x \r\n\t")},
         {"https://example.com/x"}},
        {"a sentence is no link", {text("open the orders page")}, {}},
        {"a bare host name has no scheme", {text("example.com")}, {}},
        {"whitespace only", {text(" \n\t ")}, {}},
        {"two links on separate lines are not one item's URL", {text("https://a.test\nhttps://b.test")}, {}},
        {"any scheme counts", {text("myapp://Orders/42")}, {"myapp://Orders/42"}},
        {"file, non-URL text and link: two URLs in item order",
         {url("file:///tmp/a.apns"), text("hello there"), text("https://example.com")},
         {"file:///tmp/a.apns", "https://example.com"}},
        {"an empty URL form falls back to the text",
         {Item{"", "https://example.com/t"}},
         {"https://example.com/t"}},
        {"an item with neither is skipped", {Item{}, url("https://example.com")}, {"https://example.com"}},
        {"the same link twice stays twice",
         {url("https://example.com"), url("https://example.com")},
         {"https://example.com", "https://example.com"}},
        {"letter case is kept as dropped", {text("MyApp://Orders/ABC")}, {"MyApp://Orders/ABC"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DropPayload::urls(c.items), c.expected);
    }
}

// A drop's data as the platform hands it over: raw bytes per format. (QMimeData::setData would
// parse a uri-list into QUrls, which lower-cases the hosts a real drop keeps.)
class DroppedData final : public QMimeData {
public:
    DroppedData(QByteArray uriList, QByteArray text)
        : m_uriList(std::move(uriList))
        , m_text(std::move(text)) {}

    QStringList formats() const override {
        QStringList result;
        if (!m_uriList.isNull())
            result << "text/uri-list";
        if (!m_text.isNull())
            result << "text/plain";
        return result;
    }

protected:
    QVariant retrieveData(const QString& type, QMetaType) const override {
        if (type == "text/uri-list" && !m_uriList.isNull())
            return m_uriList;
        if (type == "text/plain" && !m_text.isNull())
            return m_text;
        return {};
    }

private:
    QByteArray m_uriList;
    QByteArray m_text;
};

TEST(DropPayloadTest, MimeDataGivesOneItemPerURIListLineElseTheText) {
    const DroppedData links("# from a file manager\r\nfile:///tmp/a%20b.png\r\nmyapp://Orders\n",
                            "file:///tmp/a b.png");
    EXPECT_EQ(DropPayload::urls(DropPayload::items(links)),
              (QStringList{"file:///tmp/a%20b.png", "myapp://Orders"}));

    QMimeData plain;
    plain.setText(" https://example.com/Path ");
    EXPECT_EQ(DropPayload::urls(DropPayload::items(plain)), QStringList{"https://example.com/Path"});

    QMimeData sentence;
    sentence.setText("not a link");
    EXPECT_TRUE(DropPayload::urls(DropPayload::items(sentence)).isEmpty());

    QMimeData image;
    image.setImageData(QVariant());
    EXPECT_TRUE(DropPayload::items(image).isEmpty());
}

TEST(DropPayloadTest, URIListKeepsEveryURLAsOneLine) {
    const QStringList urls{"file:///tmp/a%20b.png", "myapp://Orders"};
    EXPECT_EQ(DropPayload::uriList(urls), QByteArray("file:///tmp/a%20b.png\r\nmyapp://Orders\r\n"));
    EXPECT_TRUE(DropPayload::uriList({}).isEmpty());
}

} // namespace
} // namespace quorvex
