#include "CardPrint.h"

#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include "PrintPages.h"
#include "QtText.h"
#include "UiFont.h"
#include "pictures/CardImages.h"

namespace {

QString PictureFile(const std::filesystem::path& imageFolder, const std::string& name) {
    if (name.empty()) return {};
    auto path = ImageFilePath(imageFolder, name);
    return path ? FromPath(*path) : QString();
}

}  // namespace

std::vector<TPrintCard> MakePrintCards(const TCardInfos& cards,
                                       const std::vector<std::size_t>& order,
                                       const std::filesystem::path& imageFolder) {
    std::vector<TPrintCard> printed;
    printed.reserve(order.size());
    for (std::size_t index : order) {
        const TCardInfo& card = cards.at(index);
        TPrintCard& out = printed.emplace_back();
        out.Number = FromCp932(card.Number);
        out.Title = FromCp932(card.Title);
        out.Comment = FromCp932(card.Comment);
        out.Owned = card.Owned;
        if (!card.FrontImageFileName.empty()) {
            out.Front = PictureFile(imageFolder, card.FrontImageFileName);
            out.Thumbnail = PictureFile(
                imageFolder, ReplaceExtension(card.FrontImageFileName, kSmallThumbnailExtension));
            out.Preview = PictureFile(
                imageFolder, ReplaceExtension(card.FrontImageFileName, kLargeThumbnailExtension));
        }
    }
    return printed;
}

TPageFrame MakePageFrame(const QRectF& page, double bodySize) {
    TPageFrame frame;
    frame.Page = page;
    frame.Font = UiFont(1);
    frame.Font.setPixelSize(qMax(1, qRound(bodySize)));
    frame.Font.setHintingPreference(QFont::PreferNoHinting);
    // Header: the name and the date, the status line, a rule; footer: the page number.
    frame.Body = page.adjusted(0, 42, 0, -20);
    return frame;
}

void PaintPageFrame(QPainter& painter, const TPageFrame& frame, const TPrintJob& job, int page,
                    int pages) {
    const QRectF& area = frame.Page;
    QFont title = frame.Font;
    title.setPixelSize(14);
    title.setBold(true);
    painter.setPen(Qt::black);
    painter.setFont(frame.Font);
    QRectF firstLine(area.left(), area.top(), area.width(), 20);
    painter.drawText(firstLine, Qt::AlignRight | Qt::AlignBottom, job.Date);
    double dateWidth = painter.fontMetrics().horizontalAdvance(job.Date) + 12;
    painter.setFont(title);
    painter.drawText(firstLine.adjusted(0, 0, -dateWidth, 0), Qt::AlignLeft | Qt::AlignBottom,
                     painter.fontMetrics().elidedText(job.CardTypeName, Qt::ElideRight,
                                                      qRound(area.width() - dateWidth)));
    painter.setFont(frame.Font);
    QString status = Tr("所持 ") + job.StatusLine;
    if (!job.ShownCount.isEmpty()) status += Tr("　") + job.ShownCount;
    painter.drawText(QRectF(area.left(), area.top() + 21, area.width(), 14),
                     Qt::AlignLeft | Qt::AlignVCenter, status);
    painter.setPen(QPen(Qt::black, 0.6));
    painter.drawLine(QPointF(area.left(), area.top() + 37), QPointF(area.right(), area.top() + 37));
    painter.drawText(QRectF(area.left(), area.bottom() - 14, area.width(), 14), Qt::AlignCenter,
                     QString::number(page + 1) + Tr(" / ") + QString::number(pages));
}

bool PaintCardPages(QPagedPaintDevice& device, const TPrintJob& job,
                    const TPageProgress& progress) {
    QPainter painter;
    if (!painter.begin(&device)) return false;
    // Everything below is laid out in points, whatever the device's resolution.
    const double scale = device.logicalDpiX() / 72.0;
    painter.scale(scale, scale);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QRectF page(QPointF(0, 0), device.pageLayout().paintRect(QPageLayout::Point).size());
    TPageFrame frame = MakePageFrame(page, 9);
    painter.setFont(frame.Font);
    std::unique_ptr<TPageSource> pages = job.Options.Kind == TPrintKind::Binder
                                             ? MakeBinderPages(painter, frame, job)
                                             : MakeChecklistPages(painter, frame, job);
    const int count = pages->PageCount();
    for (int i = 0; i < count; ++i) {
        if (i > 0 && !device.newPage()) return false;
        PaintPageFrame(painter, frame, job, i, count);
        painter.save();
        pages->PaintPage(painter, i);
        painter.restore();
        if (progress && !progress(i + 1, count)) return false;
    }
    return painter.end();
}

QString WriteCardPdf(const QString& file, const TPrintJob& job, const TPageProgress& progress) {
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) return Tr("ファイル ") + file + Tr(" を作成できません");
    bool painted = false;
    {
        QPdfWriter pdf(&out);
        pdf.setResolution(300);
        pdf.setCreator(Tr("Vastrelle"));
        pdf.setTitle(job.CardTypeName);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter));
        bool stopped = false;
        painted = PaintCardPages(pdf, job, [&](int done, int pages) {
            stopped = progress && !progress(done, pages);
            return !stopped;
        });
        if (stopped) {
            out.cancelWriting();
            return {};
        }
    }
    if (!painted || !out.commit()) return file + Tr(" に書き込めません");
    return {};
}
