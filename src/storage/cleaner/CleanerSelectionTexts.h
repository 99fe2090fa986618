#pragma once

#include "storage/engine/CleanupCategory.h"
#include "storage/engine/StorageCleanerModel.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace quorvex {

/// What the selection bar and the review sheet say about the model's selection, as plain values.
/// Pure; the widgets only lay these out.
struct CleanerSelectionTexts {
    /// "1 item selected", "2 items selected".
    static QString selectedText(int count);
    /// "Clean 3.4 GB?"
    static QString sheetHeadline(std::int64_t bytes);
    /// "1 item in 1 category", "5 items in 2 categories".
    static QString sheetSummary(int items, int categories);
    /// The first four titles joined by ", ", then " and N more" when there are more than four.
    static QString titlesLine(const std::vector<QString>& titles);
    /// The note on simulators and runtimes, which never go to the Trash; nothing for none.
    static std::optional<QString> simctlNote(int count);

    struct ModeTexts {
        QString picker;
        QString confirm;
        QString explanation;
        QString symbol;
        bool destructive = false; // drawn in red
    };
    static ModeTexts mode(StorageCleanerModel::Mode mode);

    struct Bar {
        int count = 0;
        QString countText; // empty when nothing is selected
        QString bytesText;
        bool reviewEnabled = false;
    };
    static Bar bar(const StorageCleanerModel& model);

    struct Group {
        CleanupCategory::Kind kind;
        QString title;
        QString symbol;
        CleanupCategory::Tint tint;
        CleanupSafety safety;
        QString sizeText;
        QString titlesLine;
    };
    struct Sheet {
        QString headline;
        QString summary;
        std::vector<Group> groups; // kinds in declared order, only those with selected items
        std::optional<QString> simctlNote;
        int itemCount = 0;
    };
    static Sheet sheet(const StorageCleanerModel& model);
};

} // namespace quorvex
