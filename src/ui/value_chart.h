#pragma once

#include <QChartView>
#include <QList>
#include <QPointF>
#include <QString>

class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace orva {

// A small line chart of one field over time: read times along the bottom, values up the side,
// both written in the user's locale.
inline const QString kNoValuesYet = QStringLiteral("no values yet");

class ValueChart : public QChartView {
  Q_OBJECT

 public:
  explicit ValueChart(QWidget* parent = nullptr);

  // `points`: (read time in ms since the epoch, value), oldest first. Without any, the chart
  // says so in its title and shows no axes.
  void Show(const QString& title, const QList<QPointF>& points);

  QSize sizeHint() const override;

 private:
  QLineSeries* series_;
  QDateTimeAxis* time_axis_;
  QValueAxis* value_axis_;
};

}  // namespace orva
