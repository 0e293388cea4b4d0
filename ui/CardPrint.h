#pragma once

#include <QString>
#include <filesystem>
#include <functional>
#include <vector>

#include "cardlist/Common.h"

class QPagedPaintDevice;

// What 印刷... and PDF に書き出す... put on paper.
enum class TPrintKind { Checklist, Binder };

struct TPrintOptions {
    TPrintKind Kind = TPrintKind::Checklist;
    bool Thumbnails = false;  // checklist: a small thumbnail on each line
    int Pockets = 3;          // binder: pockets per row and per column (3 or 2)
};

// One card as printed: its texts and the files of its pictures (empty when it has none).
struct TPrintCard {
    QString Number;
    QString Title;
    QString Comment;
    bool Owned = false;
    QString Thumbnail;  // the small BMP thumbnail of the front
    QString Front;      // the front JPEG
    QString Preview;    // the large BMP thumbnail of the front, for the print preview
};

// A snapshot of the list as the user sees it, so that it can be laid out off the GUI thread.
struct TPrintJob {
    QString CardTypeName;
    QString Date;
    QString StatusLine;
    QString ShownCount;  // "表示 N 件" while a filter hides cards, else empty
    std::vector<TPrintCard> Cards;
    TPrintOptions Options;
};

// The cards in the given order of their indices, with their picture files in imageFolder.
std::vector<TPrintCard> MakePrintCards(const TCardInfos& cards,
                                       const std::vector<std::size_t>& order,
                                       const std::filesystem::path& imageFolder);

// Called after each page with the pages done and the page count; false stops the document.
using TPageProgress = std::function<bool(int done, int pages)>;

// Lays the job out on the device's page size and paints every page. False when the progress
// stopped it or the device could not be painted on.
bool PaintCardPages(QPagedPaintDevice& device, const TPrintJob& job,
                    const TPageProgress& progress = {});

// Writes the job as an A4 PDF file, replacing `file` only once the whole document is written.
// Returns the message of the failure, empty on success or when the progress stopped it (then
// `file` stays as it was).
QString WriteCardPdf(const QString& file, const TPrintJob& job, const TPageProgress& progress = {});
