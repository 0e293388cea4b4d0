// Binder pages: the pockets of a binder sheet in card order, each owned card's front picture in
// its pocket and an empty pocket with the number and title for each card still missing.
#include <QImageReader>
#include <QPaintEngine>
#include <QPainter>
#include <algorithm>

#include "PrintPages.h"
#include "QtText.h"

namespace {

constexpr double kCardWidth = 63;  // a trading card's proportions, 63 x 88 mm
constexpr double kCardHeight = 88;
constexpr double kPocketGap = 8;
constexpr double kPictureDpi = 200;  // sharp on paper without making huge files

class TBinderPages : public TPageSource {
public:
    TBinderPages(QPainter& painter, const TPageFrame& frame, const TPrintJob& job)
        : m_job(job), m_frame(frame) {
        // The print preview keeps every page in memory: it shows the large thumbnails, which
        // keeps thousands of pockets within bounds; paper and PDF get the pictures themselves.
        m_preview = painter.paintEngine() && painter.paintEngine()->type() == QPaintEngine::Picture;
        m_side = std::clamp(job.Options.Pockets, 2, 3);
        const std::size_t perPage = static_cast<std::size_t>(m_side * m_side);
        m_pageCount =
            std::max<int>(1, static_cast<int>((job.Cards.size() + perPage - 1) / perPage));
        const QRectF& body = frame.Body;
        double width = (body.width() - (m_side - 1) * kPocketGap) / m_side;
        double height = (body.height() - (m_side - 1) * kPocketGap) / m_side;
        width = std::min(width, height * kCardWidth / kCardHeight);
        height = width * kCardHeight / kCardWidth;
        m_pocket = QSizeF(width, height);
        const QSizeF grid(m_side * width + (m_side - 1) * kPocketGap,
                          m_side * height + (m_side - 1) * kPocketGap);
        m_origin = QPointF(body.left() + (body.width() - grid.width()) / 2,
                           body.top() + (body.height() - grid.height()) / 2);
    }

    int PageCount() const override { return m_pageCount; }

    void PaintPage(QPainter& painter, int page) override {
        const std::size_t perPage = static_cast<std::size_t>(m_side * m_side);
        const std::size_t first = static_cast<std::size_t>(page) * perPage;
        const std::size_t last = std::min(m_job.Cards.size(), first + perPage);
        for (std::size_t i = first; i < last; ++i) {
            const int slot = static_cast<int>(i - first);
            QRectF pocket(m_origin.x() + (slot % m_side) * (m_pocket.width() + kPocketGap),
                          m_origin.y() + (slot / m_side) * (m_pocket.height() + kPocketGap),
                          m_pocket.width(), m_pocket.height());
            PaintPocket(painter, m_job.Cards[i], pocket);
        }
    }

private:
    // The picture decoded at the size it is printed, turned as its EXIF orientation says.
    QImage LoadFront(const QString& file, const QSizeF& pocket) const {
        QImageReader reader(file);
        reader.setAutoTransform(true);
        QSize size = reader.size();
        if (!size.isValid()) return {};
        if (reader.transformation() & QImageIOHandler::TransformationRotate90) size.transpose();
        QSize target = (pocket * kPictureDpi / 72).toSize();
        if (size.width() > target.width() || size.height() > target.height()) {
            size.scale(target, Qt::KeepAspectRatio);
            if (reader.transformation() & QImageIOHandler::TransformationRotate90) size.transpose();
            reader.setScaledSize(size);
        }
        return reader.read();
    }

    void PaintPocket(QPainter& painter, const TPrintCard& card, const QRectF& pocket) {
        QImage front;
        if (card.Owned) {
            if (m_preview && !card.Preview.isEmpty())
                front.load(card.Preview, "BMP");  // a thumbnail extension Qt does not know
            else if (!card.Front.isEmpty())
                front = LoadFront(card.Front, pocket.size());
        }
        if (!front.isNull()) {
            QSizeF size = QSizeF(front.size()).scaled(pocket.size(), Qt::KeepAspectRatio);
            QRectF target(pocket.center() - QPointF(size.width() / 2, size.height() / 2), size);
            painter.drawImage(target, front);
            painter.setPen(QPen(QColor(0x90, 0x90, 0x90), 0.5));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(pocket);
            return;
        }
        // A missing card leaves its pocket empty; an owned card without a picture is named in a
        // solid frame so it does not look missing.
        QPen frame(card.Owned ? QColor(0x40, 0x40, 0x40) : QColor(0xa0, 0xa0, 0xa0), 0.8);
        if (!card.Owned) frame.setStyle(Qt::DashLine);
        painter.setPen(frame);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(pocket, 4, 4);
        QRectF text = pocket.adjusted(6, 6, -6, -6);
        QFont number = m_frame.Font;
        number.setPixelSize(m_side == 3 ? 11 : 14);
        number.setBold(true);
        QFont title = m_frame.Font;
        title.setPixelSize(m_side == 3 ? 9 : 11);
        painter.setPen(card.Owned ? Qt::black : QColor(0x60, 0x60, 0x60));
        painter.setFont(number);
        const double numberHeight = painter.fontMetrics().height() * 1.6;
        painter.drawText(
            QRectF(text.left(), text.center().y() - numberHeight, text.width(), numberHeight),
            Qt::AlignHCenter | Qt::AlignBottom | Qt::TextWordWrap, card.Number);
        painter.setFont(title);
        painter.drawText(QRectF(text.left(), text.center().y() + 4, text.width(),
                                text.bottom() - text.center().y() - 4),
                         Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, card.Title);
        if (card.Owned) painter.drawText(text, Qt::AlignRight | Qt::AlignBottom, Tr("■ 所持"));
    }

    const TPrintJob& m_job;
    TPageFrame m_frame;
    bool m_preview = false;
    int m_side = 3;
    int m_pageCount = 1;
    QSizeF m_pocket;
    QPointF m_origin;
};

}  // namespace

std::unique_ptr<TPageSource> MakeBinderPages(QPainter& painter, const TPageFrame& frame,
                                             const TPrintJob& job) {
    return std::make_unique<TBinderPages>(painter, frame, job);
}
