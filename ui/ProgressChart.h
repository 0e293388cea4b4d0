#pragma once

#include <QDate>
#include <QWidget>
#include <vector>

#include "cardlist/Progress.h"

// Owned cards over time for one card type: a step line of the owned count by acquired date, the
// dates along the bottom, the total as a dashed line. Owned cards without a date count from the
// first day shown.
class TProgressChart : public QWidget {
    Q_OBJECT
public:
    explicit TProgressChart(QWidget* parent = nullptr);

    void SetProgress(const TCardProgress& progress);
    // The last day drawn: today, unless the dates go beyond it. Fixed by tests and benchmarks.
    void SetToday(const QDate& today);

    QSize sizeHint() const override { return {420, 170}; }
    QSize minimumSizeHint() const override { return {240, 110}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct TStep {
        qint64 Day;  // Julian day
        double Owned;
    };

    std::vector<TStep> m_steps;
    double m_total = 0;
    double m_undated = 0;
    QDate m_today;
};
