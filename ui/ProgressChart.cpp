#include "ProgressChart.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "QtText.h"

TProgressChart::TProgressChart(QWidget* parent) : QWidget(parent), m_today(QDate::currentDate()) {
    setObjectName(QStringLiteral("ProgressChart"));
    setAccessibleName(Tr("入手の推移"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void TProgressChart::SetProgress(const TCardProgress& progress) {
    m_steps.clear();
    m_steps.reserve(progress.Days.size());
    for (const TProgressDay& day : progress.Days) {
        QDate date = QDate::fromString(
            QString::fromLatin1(day.Date.data(), static_cast<qsizetype>(day.Date.size())),
            QStringLiteral("yyyy-MM-dd"));
        if (date.isValid()) m_steps.push_back({date.toJulianDay(), double(day.Owned)});
    }
    m_total = double(progress.Total);
    m_undated = double(progress.Undated);
    QString tip = QString::fromStdString(StatusLineText(progress.Owned, progress.Total));
    if (progress.Undated > 0)
        tip += Tr("\n入手日のない所持カード %1 枚は最初から数えています").arg(progress.Undated);
    setToolTip(tip);
    update();
}

void TProgressChart::SetToday(const QDate& today) {
    m_today = today;
    update();
}

void TProgressChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const QFontMetrics metrics = fontMetrics();
    if (m_steps.empty()) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(
            rect(), Qt::AlignCenter | Qt::TextWordWrap,
            m_total > 0 ? Tr("入手日のあるカードはまだありません") : Tr("カードがありません"));
        return;
    }
    const QString totalText = QString::number(qint64(m_total));
    const int left = metrics.horizontalAdvance(totalText) + 10;
    const QRectF plot =
        QRectF(rect()).adjusted(left, metrics.height() / 2 + 4, -12, -(metrics.height() + 8));
    if (plot.width() < 10 || plot.height() < 10) return;

    const qint64 first = m_steps.front().Day;
    const qint64 last = std::max(m_steps.back().Day, m_today.toJulianDay());
    // Some room before the first acquisition, so that its step shows beside the axis.
    const qint64 start = first - std::max<qint64>(1, (last - first) / 30);
    const double span = double(last - start);
    const double top = std::max(m_total, m_steps.back().Owned);
    auto x = [&](qint64 day) { return plot.left() + plot.width() * double(day - start) / span; };
    auto y = [&](double owned) {
        return top <= 0 ? plot.bottom() : plot.bottom() - plot.height() * owned / top;
    };

    const QColor text = palette().color(QPalette::Text);
    painter.setPen(QPen(text, 1));
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    painter.drawLine(plot.bottomLeft(), plot.topLeft());
    painter.drawText(QRectF(0, y(0) - metrics.height() / 2.0, left - 5, metrics.height()),
                     Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("0"));
    painter.drawText(QRectF(0, y(m_total) - metrics.height() / 2.0, left - 5, metrics.height()),
                     Qt::AlignRight | Qt::AlignVCenter, totalText);

    // Dates along the bottom: the first and the last, and between them as many as fit.
    const QString format = QStringLiteral("yyyy/MM/dd");
    const int labelWidth = metrics.horizontalAdvance(QStringLiteral("0000/00/00")) + 16;
    const int labels = std::clamp(int(plot.width()) / labelWidth, 2, 6);
    const QRectF dates(plot.left(), plot.bottom() + 4, plot.width(), metrics.height());
    for (int i = 0; i < labels; ++i) {
        const qint64 day = first + (last - first) * i / (labels - 1);
        const double at = x(day);
        Qt::Alignment align = i == 0            ? Qt::AlignLeft
                              : i == labels - 1 ? Qt::AlignRight
                                                : Qt::AlignHCenter;
        QRectF box(at - labelWidth / 2.0, dates.top(), labelWidth, dates.height());
        if (i == 0) box.moveLeft(std::max(at - labelWidth / 2.0, 2.0));
        if (i == labels - 1) box.moveRight(plot.right());
        painter.drawLine(QPointF(at, plot.bottom()), QPointF(at, plot.bottom() + 3));
        painter.drawText(box, align | Qt::AlignTop, QDate::fromJulianDay(day).toString(format));
    }

    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x90, 0x90, 0x90), 1, Qt::DashLine));
    painter.drawLine(QPointF(plot.left(), y(m_total)), QPointF(plot.right(), y(m_total)));

    QPainterPath line(QPointF(plot.left(), y(m_undated)));
    for (const TStep& step : m_steps) {
        const double at = x(step.Day);
        line.lineTo(at, line.currentPosition().y());
        line.lineTo(at, y(step.Owned));
    }
    line.lineTo(plot.right(), line.currentPosition().y());
    painter.setPen(QPen(QColor(0x1f, 0x77, 0xb4), 2));
    painter.drawPath(line);
}
