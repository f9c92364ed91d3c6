#include "delivery/http_response.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

using State = HttpResponseParser::State;

struct Case {
  const char* name;
  QByteArray bytes;
  bool closed;  // the server closes the connection after these bytes
  State state;
  int status;
  QByteArray body;
  bool keep_alive;
};

const Case kCases[] = {
    {"no content", "HTTP/1.1 204 No Content\r\nX-Influxdb-Version: 1.6.7\r\n\r\n", false,
     State::kComplete, 204, "", true},
    {"sized body", "HTTP/1.1 404 Not Found\r\nContent-Length: 13\r\n\r\n{\"error\":\"x\"}", false,
     State::kComplete, 404, "{\"error\":\"x\"}", true},
    {"header names in any case", "HTTP/1.1 200 OK\r\ncontent-LENGTH:  3\r\n\r\nabc", false,
     State::kComplete, 200, "abc", true},
    {"chunked",
     "HTTP/1.1 400 Bad\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n"
     "6;x=y\r\n world\r\n0\r\n\r\n",
     false, State::kComplete, 400, "hello world", true},
    {"interim reply first", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 204 No Content\r\n\r\n", false,
     State::kComplete, 204, "", true},
    {"server closes", "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 2\r\n\r\nok", false,
     State::kComplete, 200, "ok", false},
    {"body up to the close", "HTTP/1.0 500 Oops\r\n\r\nall of it", true, State::kComplete, 500,
     "all of it", false},
    {"1.0 asking to stay", "HTTP/1.0 200 OK\r\nConnection: keep-alive\r\nContent-Length: 0\r\n\r\n",
     false, State::kComplete, 200, "", true},
    {"not http", "SSH-2.0-OpenSSH_9.2\r\n\r\n", false, State::kError, 0, "", false},
    {"bad status", "HTTP/1.1 abc OK\r\n\r\n", false, State::kError, 0, "", false},
    {"huge length", "HTTP/1.1 200 OK\r\nContent-Length: 999999999999\r\n\r\n", false, State::kError,
     200, "", false},
    {"cut short", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", true, State::kError, 200, "",
     false},
    {"chunk without its line end",
     "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
     "2\r\nabX\r\n",
     false, State::kError, 200, "", false},
    {"head only so far", "HTTP/1.1 204 No Con", false, State::kIncomplete, 0, "", true},
};

void Expect(const Case& c, const HttpResponseParser& parser) {
  EXPECT_EQ(parser.state(), c.state) << c.name;
  if (c.state == State::kError) return;
  EXPECT_EQ(parser.status(), c.status) << c.name;
  EXPECT_EQ(parser.body(), c.body) << c.name;
  EXPECT_EQ(parser.keep_alive(), c.keep_alive) << c.name;
}

// Each reply whole and byte by byte: the parser must not depend on how the bytes arrive.
TEST(HttpResponseTest, Replies) {
  for (const Case& c : kCases) {
    HttpResponseParser whole, byte_by_byte;
    whole.Feed(c.bytes);
    for (char byte : c.bytes) byte_by_byte.Feed(QByteArrayView(&byte, 1));
    for (HttpResponseParser* parser : {&whole, &byte_by_byte}) {
      if (c.closed) parser->FinishOnClose();
      Expect(c, *parser);
    }
  }
}

TEST(HttpResponseTest, CloseBeforeAnyByteIsAnError) {
  HttpResponseParser parser;
  EXPECT_EQ(parser.FinishOnClose(), State::kError);
  EXPECT_FALSE(parser.received_any());
}

TEST(HttpResponseTest, EndlessHeadIsAnError) {
  HttpResponseParser parser;
  parser.Feed("HTTP/1.1 200 OK\r\n");
  const QByteArray header = "X-Filler: " + QByteArray(1000, 'x') + "\r\n";
  for (int i = 0; i < 100 && parser.state() == State::kIncomplete; ++i) parser.Feed(header);
  EXPECT_EQ(parser.state(), State::kError);
}

}  // namespace
}  // namespace orva
