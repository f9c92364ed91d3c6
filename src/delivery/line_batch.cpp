#include "delivery/line_batch.h"

namespace orva {

LineBatch::LineBatch(std::initializer_list<QByteArrayView> lines) {
  for (const QByteArrayView line : lines) Append(line);
}

void LineBatch::Append(QByteArrayView line) {
  if (!ends_.isEmpty()) text_ += '\n';
  text_ += line;
  ends_ << text_.size();
}

QByteArrayView LineBatch::Line(qsizetype index) const {
  const qsizetype start = Start(index);
  return QByteArrayView(text_).sliced(start, ends_[index] - start);
}

QByteArray LineBatch::Text(qsizetype first, qsizetype count) const {
  if (count <= 0) return {};
  if (first == 0 && count == size()) return text_;
  const qsizetype start = Start(first);
  return text_.sliced(start, ends_[first + count - 1] - start);
}

QList<QByteArray> LineBatch::Lines() const {
  QList<QByteArray> lines;
  lines.reserve(size());
  for (qsizetype i = 0; i < size(); ++i) lines << Line(i).toByteArray();
  return lines;
}

}  // namespace orva
