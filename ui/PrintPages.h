#pragma once

#include <QFont>
#include <QRectF>
#include <memory>

#include "CardPrint.h"

class QPainter;

// The page frame every printed page shares: the card type's header on top, the page number at
// the bottom. Units are points; the painter is scaled to them.
struct TPageFrame {
    QRectF Page;  // the printable area
    QRectF Body;  // what remains for the cards
    QFont Font;   // the program's font at the body size
};

TPageFrame MakePageFrame(const QRectF& page, double bodySize);
void PaintPageFrame(QPainter& painter, const TPageFrame& frame, const TPrintJob& job, int page,
                    int pages);

// The two kinds of document. Each computes its page count first, so that every page can carry
// "n / N"; pages are then painted in order into the frame's body.
class TPageSource {
public:
    virtual ~TPageSource() = default;
    virtual int PageCount() const = 0;
    virtual void PaintPage(QPainter& painter, int page) = 0;
};

std::unique_ptr<TPageSource> MakeChecklistPages(QPainter& painter, const TPageFrame& frame,
                                                const TPrintJob& job);
std::unique_ptr<TPageSource> MakeBinderPages(QPainter& painter, const TPageFrame& frame,
                                             const TPrintJob& job);
