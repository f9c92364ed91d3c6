#pragma once

#include <QByteArray>

namespace orva {

// The bytes as a gzip member (RFC 1952), as a server takes a body sent with
// "Content-Encoding: gzip". Empty when zlib fails, which only a lack of memory makes it do.
QByteArray GzipCompressed(const QByteArray& bytes);

}  // namespace orva
