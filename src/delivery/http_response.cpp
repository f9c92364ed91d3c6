#include "delivery/http_response.h"

#include <QList>
#include <algorithm>

namespace orva {
namespace {

constexpr qsizetype kMaxHead = 64 * 1024;
constexpr qint64 kMaxBody = 1024 * 1024;

}  // namespace

HttpResponseParser::State HttpResponseParser::Feed(QByteArrayView bytes) {
  if (!bytes.isEmpty()) received_any_ = true;
  buffer_.append(bytes);
  return Parse();
}

HttpResponseParser::State HttpResponseParser::FinishOnClose() {
  if (state_ != State::kIncomplete) return state_;
  if (phase_ == Phase::kBodyToClose) {
    phase_ = Phase::kDone;
    keep_alive_ = false;
    return state_ = State::kComplete;
  }
  return Fail();
}

HttpResponseParser::State HttpResponseParser::Fail() {
  keep_alive_ = false;
  return state_ = State::kError;
}

bool HttpResponseParser::TakeLine(QByteArray* line) {
  const qsizetype end = buffer_.indexOf("\r\n");
  if (end < 0) return false;
  *line = buffer_.left(end);
  buffer_.remove(0, end + 2);
  return true;
}

HttpResponseParser::State HttpResponseParser::Parse() {
  while (state_ == State::kIncomplete) {
    QByteArray line;
    switch (phase_) {
      case Phase::kHead: {
        const qsizetype end = buffer_.indexOf("\r\n\r\n");
        if (end < 0) return buffer_.size() > kMaxHead ? Fail() : state_;
        const QByteArray head = buffer_.left(end);
        buffer_.remove(0, end + 4);
        if (!ParseHead(head)) return Fail();
        break;
      }
      case Phase::kSizedBody: {
        const qint64 take = std::min<qint64>(remaining_, buffer_.size());
        body_.append(buffer_.left(take));
        buffer_.remove(0, take);
        remaining_ -= take;
        if (remaining_ > 0) return state_;
        phase_ = Phase::kDone;
        break;
      }
      case Phase::kChunkSize: {
        if (!TakeLine(&line)) return buffer_.size() > kMaxHead ? Fail() : state_;
        bool ok = false;
        remaining_ = line.split(';').front().trimmed().toLongLong(&ok, 16);
        if (!ok || remaining_ < 0 || body_.size() + remaining_ > kMaxBody) return Fail();
        phase_ = remaining_ == 0 ? Phase::kChunkTrailer : Phase::kChunkData;
        break;
      }
      case Phase::kChunkData: {
        if (buffer_.size() < remaining_ + 2) return state_;
        if (buffer_.mid(remaining_, 2) != "\r\n") return Fail();
        body_.append(buffer_.left(remaining_));
        buffer_.remove(0, remaining_ + 2);
        phase_ = Phase::kChunkSize;
        break;
      }
      case Phase::kChunkTrailer:
        if (!TakeLine(&line)) return state_;
        if (line.isEmpty()) phase_ = Phase::kDone;
        break;
      case Phase::kBodyToClose:
        body_.append(buffer_);
        buffer_.clear();
        return body_.size() > kMaxBody ? Fail() : state_;
      case Phase::kDone:
        state_ = State::kComplete;
        break;
    }
  }
  return state_;
}

bool HttpResponseParser::ParseHead(QByteArrayView head) {
  const QList<QByteArray> lines = head.toByteArray().split('\n');
  const QList<QByteArray> status_line = lines.front().trimmed().split(' ');
  if (status_line.size() < 2 || !status_line[0].startsWith("HTTP/1.")) return false;
  bool ok = false;
  status_ = status_line[1].toInt(&ok);
  if (!ok || status_ < 100 || status_ > 999) return false;
  reason_ = lines.front().trimmed().mid(status_line[0].size() + status_line[1].size() + 2);
  const bool http10 = status_line[0] == "HTTP/1.0";
  keep_alive_ = !http10;
  qint64 content_length = -1;
  bool chunked = false;
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const qsizetype colon = lines[i].indexOf(':');
    if (colon <= 0) continue;
    const QByteArray name = lines[i].left(colon).trimmed().toLower();
    const QByteArray value = lines[i].mid(colon + 1).trimmed().toLower();
    if (name == "content-length") {
      content_length = value.toLongLong(&ok);
      if (!ok || content_length < 0 || content_length > kMaxBody) return false;
    } else if (name == "transfer-encoding") {
      chunked = value.endsWith("chunked");
    } else if (name == "connection") {
      if (value.contains("close")) keep_alive_ = false;
      if (value.contains("keep-alive")) keep_alive_ = keep_alive_ || http10;
    }
  }
  if (status_ < 200) {  // an interim reply: the real one follows
    phase_ = Phase::kHead;
    return true;
  }
  if (status_ == 204 || status_ == 304) {
    phase_ = Phase::kDone;
  } else if (chunked) {
    phase_ = Phase::kChunkSize;
  } else if (content_length >= 0) {
    remaining_ = content_length;
    phase_ = Phase::kSizedBody;
  } else {
    keep_alive_ = false;
    phase_ = Phase::kBodyToClose;
  }
  return true;
}

}  // namespace orva
