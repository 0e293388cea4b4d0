// The checklist: one line per card with a tick box, number, title and comment, in two or three
// columns per page when the lines are short enough.
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "PrintPages.h"
#include "QtText.h"
#include "Thumbnails.h"

namespace {

constexpr double kGutter = 16;      // between columns
constexpr double kGap = 6;          // between the parts of a line
constexpr double kLineHeight = 13;  // without thumbnails
constexpr double kThumbnailSide = 24;

// The tick box as text, so that a PDF reader's text carries the owned marks too.
QString TickBox(bool owned) { return owned ? Tr("■") : Tr("□"); }

class TChecklistPages : public TPageSource {
public:
    TChecklistPages(QPainter& painter, const TPageFrame& frame, const TPrintJob& job)
        : m_job(job), m_frame(frame), m_metrics(frame.Font, painter.device()) {
        m_tickWidth = std::max(m_metrics.horizontalAdvance(TickBox(true)),
                               m_metrics.horizontalAdvance(TickBox(false))) +
                      kGap;
        const bool thumbnails = job.Options.Thumbnails;
        m_thumbnailWidth = thumbnails ? kThumbnailSide + kGap : 0;
        m_lineHeight = thumbnails ? kThumbnailSide + 3 : kLineHeight;
        ChooseColumns();
        const int lines = std::max(1, static_cast<int>(frame.Body.height() / m_lineHeight));
        m_linesPerColumn = lines;
        const std::size_t perPage = static_cast<std::size_t>(lines * m_columns);
        m_pageCount =
            std::max<int>(1, static_cast<int>((job.Cards.size() + perPage - 1) / perPage));
    }

    int PageCount() const override { return m_pageCount; }

    void PaintPage(QPainter& painter, int page) override {
        painter.setFont(m_frame.Font);
        const std::size_t perPage = static_cast<std::size_t>(m_linesPerColumn * m_columns);
        const std::size_t first = static_cast<std::size_t>(page) * perPage;
        const std::size_t last = std::min(m_job.Cards.size(), first + perPage);
        for (std::size_t i = first; i < last; ++i) {
            // Down the first column, then down the next, as a checklist is read.
            const int slot = static_cast<int>(i - first);
            const double x =
                m_frame.Body.left() + (slot / m_linesPerColumn) * (m_columnWidth + kGutter);
            const double y = m_frame.Body.top() + (slot % m_linesPerColumn) * m_lineHeight;
            PaintLine(painter, m_job.Cards[i], QRectF(x, y, m_columnWidth, m_lineHeight));
        }
    }

private:
    // Three columns when nearly every line fits a third of the page, else two, else one; the few
    // longer lines are cut short with an ellipsis rather than spreading every page out.
    void ChooseColumns() {
        const double width = m_frame.Body.width();
        double widestNumber = 0;
        std::vector<double> natural;
        natural.reserve(m_job.Cards.size());
        for (const TPrintCard& card : m_job.Cards) {
            double number = m_metrics.horizontalAdvance(card.Number);
            widestNumber = std::max(widestNumber, number);
            double line = m_metrics.horizontalAdvance(card.Title);
            if (!card.Comment.isEmpty())
                line += kGap * 2 + m_metrics.horizontalAdvance(card.Comment);
            natural.push_back(line);
        }
        double typical = 0;
        if (!natural.empty()) {
            auto at =
                natural.begin() + static_cast<std::ptrdiff_t>((natural.size() - 1) * 95 / 100);
            std::nth_element(natural.begin(), at, natural.end());
            typical = *at;
        }
        m_columns = 1;
        for (int columns : {3, 2}) {
            double column = (width - (columns - 1) * kGutter) / columns;
            double number = std::min(widestNumber, column * 0.35) + kGap;
            if (m_tickWidth + m_thumbnailWidth + number + typical <= column) {
                m_columns = columns;
                break;
            }
        }
        m_columnWidth = (width - (m_columns - 1) * kGutter) / m_columns;
        m_numberWidth = std::min(widestNumber, m_columnWidth * 0.35) + kGap;
    }

    void PaintLine(QPainter& painter, const TPrintCard& card, const QRectF& line) {
        const auto flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
        double x = line.left();
        painter.setPen(Qt::black);
        painter.drawText(QRectF(x, line.top(), m_tickWidth, line.height()), flags,
                         TickBox(card.Owned));
        x += m_tickWidth;
        if (m_job.Options.Thumbnails) {
            QImage thumbnail;
            if (!card.Thumbnail.isEmpty()) thumbnail = LoadThumbnail(ToPath(card.Thumbnail), 50);
            if (!thumbnail.isNull())
                painter.drawImage(QRectF(x, line.top() + 1.5, kThumbnailSide, kThumbnailSide),
                                  thumbnail);
            x += m_thumbnailWidth;
        }
        auto text = [&](const QString& value, double width) {
            QString shown = m_metrics.elidedText(value, Qt::ElideRight, width);
            painter.drawText(QRectF(x, line.top(), width, line.height()), flags, shown);
        };
        text(card.Number, m_numberWidth - kGap);
        x += m_numberWidth;
        const double rest = line.right() - x;
        const double title = std::min(rest, m_metrics.horizontalAdvance(card.Title));
        text(card.Title, rest);
        x += title + kGap * 2;
        if (!card.Comment.isEmpty() && line.right() - x > m_metrics.averageCharWidth() * 3) {
            painter.setPen(QColor(0x55, 0x55, 0x55));
            text(card.Comment, line.right() - x);
        }
    }

    const TPrintJob& m_job;
    TPageFrame m_frame;
    QFontMetricsF m_metrics;
    double m_tickWidth = 0;
    double m_thumbnailWidth = 0;
    double m_lineHeight = kLineHeight;
    double m_columnWidth = 0;
    double m_numberWidth = 0;
    int m_columns = 1;
    int m_linesPerColumn = 1;
    int m_pageCount = 1;
};

}  // namespace

std::unique_ptr<TPageSource> MakeChecklistPages(QPainter& painter, const TPageFrame& frame,
                                                const TPrintJob& job) {
    return std::make_unique<TChecklistPages>(painter, frame, job);
}
