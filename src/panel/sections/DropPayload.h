#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class QMimeData;

namespace quorvex {

/// Turns the items dragged onto the side panel into the links and files the drop handler acts
/// on. It only collects: nothing is opened, checked or reported here.
class DropPayload final {
public:
    DropPayload() = delete;

    /// One dragged item: its URL form (as the drag source wrote it) and its plain text, either
    /// of which may be missing.
    struct Item {
        std::optional<QString> url;
        std::optional<QString> text;
    };

    /// At most one URL per item, in item order. An item gives its URL form when it has one;
    /// otherwise its text, trimmed, when that is a single URL with a scheme. Other text is
    /// skipped. The text is kept exactly as dropped (letter case included), since an app's
    /// own links may tell "Orders" from "orders".
    static QStringList urls(const QList<Item>& items);

    /// The items of a drop's data: one per "text/uri-list" line, or, without URLs, the plain
    /// text as one item.
    static QList<Item> items(const QMimeData& data);

    /// The URLs as "text/uri-list" data, for PanelDrop::handleUriList.
    static QByteArray uriList(const QStringList& urls);
};

} // namespace quorvex
