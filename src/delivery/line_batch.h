#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <initializer_list>

namespace orva {

// Lines of line protocol in one buffer, one after the other with a line feed between them, as a
// post's body holds them: the whole batch is its body without a copy, and a line or a run of
// lines is found by its place.
class LineBatch {
 public:
  LineBatch() = default;
  LineBatch(std::initializer_list<QByteArrayView> lines);

  // Room for `bytes` of text, so that appending does not move the buffer.
  void Reserve(qsizetype bytes) { text_.reserve(bytes); }
  void Append(QByteArrayView line);

  qsizetype size() const { return ends_.size(); }
  bool isEmpty() const { return ends_.isEmpty(); }
  // The text's length, line feeds included.
  qsizetype bytes() const { return text_.size(); }
  const QByteArray& text() const { return text_; }

  QByteArrayView Line(qsizetype index) const;
  // `count` lines from `first` with the line feeds between them: the text itself when that is
  // every line, else a copy of that part.
  QByteArray Text(qsizetype first, qsizetype count) const;
  QList<QByteArray> Lines() const;

  friend bool operator==(const LineBatch& a, const LineBatch& b) {
    return a.text_ == b.text_ && a.ends_ == b.ends_;
  }

 private:
  qsizetype Start(qsizetype index) const { return index == 0 ? 0 : ends_[index - 1] + 1; }

  QByteArray text_;
  QList<qsizetype> ends_;  // where each line ends in text_
};

}  // namespace orva
