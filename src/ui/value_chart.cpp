#include "ui/value_chart.h"

#include "ui/value_text.h"

#include <QDateTime>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace orva {
namespace {

bool ByValue(const QPointF& a, const QPointF& b) { return a.y() < b.y(); }

// The field's own range with a tenth to spare, so that a line never touches the frame; a flat
// line gets a tenth of its value, or a half around 0.
std::pair<double, double> ValueRange(const QList<QPointF>& points) {
  const auto [low, high] = std::minmax_element(points.begin(), points.end(), ByValue);
  const double span = high->y() - low->y();
  const double pad = span > 0 ? span * 0.1 : std::max(std::abs(high->y()) * 0.1, 0.5);
  return {low->y() - pad, high->y() + pad};
}

bool AllWhole(const QList<QPointF>& points) {
  return std::all_of(points.begin(), points.end(),
                     [](const QPointF& point) { return point.y() == std::floor(point.y()); });
}

// A chart a few hundred pixels wide shows no more than this many points, however many are kept;
// drawing every one of an hour's values would cost the window more time than a tick leaves.
constexpr qsizetype kMostPointsDrawn = 800;

// At most kMostPointsDrawn points: from each run of neighbours the lowest and the highest, in
// their order, so that a short spike still shows.
QList<QPointF> Thinned(const QList<QPointF>& points) {
  if (points.size() <= kMostPointsDrawn) return points;
  const qsizetype runs = kMostPointsDrawn / 2;
  QList<QPointF> thinned;
  thinned.reserve(kMostPointsDrawn);
  for (qsizetype run = 0; run < runs; ++run) {
    const auto begin = points.begin() + run * points.size() / runs;
    const auto end = points.begin() + (run + 1) * points.size() / runs;
    const auto [low, high] = std::minmax_element(begin, end, ByValue);
    thinned << (low < high ? *low : *high) << (low < high ? *high : *low);
  }
  return thinned;
}

}  // namespace

ValueChart::ValueChart(QWidget* parent)
    : QChartView(parent),
      series_(new QLineSeries),
      time_axis_(new QDateTimeAxis),
      value_axis_(new QValueAxis) {
  auto* chart = new QChart;
  chart->setLocale(QLocale());
  chart->setLocalizeNumbers(true);
  chart->legend()->hide();
  chart->setMargins(QMargins(2, 2, 2, 2));
  chart->setBackgroundRoundness(0);
  chart->addSeries(series_);
  time_axis_->setFormat(TimeOfDayFormat(QLocale()));
  time_axis_->setTickCount(3);
  value_axis_->setTickCount(5);
  for (QAbstractAxis* axis :
       {static_cast<QAbstractAxis*>(time_axis_), static_cast<QAbstractAxis*>(value_axis_)}) {
    QFont labels = axis->labelsFont();
    labels.setPointSizeF(font().pointSizeF() * 0.85);
    axis->setLabelsFont(labels);
  }
  chart->addAxis(time_axis_, Qt::AlignBottom);
  chart->addAxis(value_axis_, Qt::AlignLeft);
  series_->attachAxis(time_axis_);
  series_->attachAxis(value_axis_);
  QFont title = font();
  title.setBold(true);
  chart->setTitleFont(title);
  setChart(chart);
  setRenderHint(QPainter::Antialiasing);
  // Low enough that the window with its menu bar still fits a screen of 600 pixels.
  setMinimumHeight(128);
}

void ValueChart::Show(const QString& title, const QList<QPointF>& points) {
  series_->replace(Thinned(points));
  // Without values the axes would show a range of their own: 0 to 1, and midnight three times.
  time_axis_->setVisible(!points.isEmpty());
  value_axis_->setVisible(!points.isEmpty());
  if (points.isEmpty()) {
    chart()->setTitle(title.isEmpty() ? kNoValuesYet : title + QStringLiteral(": ") + kNoValuesYet);
    return;
  }
  chart()->setTitle(title);
  const QDateTime first = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(points.first().x()));
  const QDateTime last = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(points.last().x()));
  // A single point still gets a span of time.
  time_axis_->setRange(first, std::max(last, first.addSecs(10)));
  const auto [low, high] = ValueRange(points);
  value_axis_->setRange(low, high);
  value_axis_->applyNiceNumbers();
  // Counts and whole readings read as such (1,100, not 1,100.0) where the ticks fall on whole
  // numbers.
  const bool whole_ticks = value_axis_->max() - value_axis_->min() >= value_axis_->tickCount() - 1;
  value_axis_->setLabelFormat(AllWhole(points) && whole_ticks ? QStringLiteral("%.0f") : QString());
}

QSize ValueChart::sizeHint() const { return {320, 200}; }

}  // namespace orva
