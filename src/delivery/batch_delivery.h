#pragma once

#include "delivery/influx_writer.h"
#include "delivery/line_batch.h"
#include "delivery/outbox.h"

#include <QList>

#include <functional>
#include <optional>

namespace orva {

// What became of a batch: either every line is settled (stored by the server, or rejected for
// good), or the server asked to wait and nothing of the batch counts as settled.
struct BatchOutcome {
  QList<RejectedLine> rejected;
  // The reply that asks to wait (no reply, 5xx, a refused login...); nullopt once settled.
  std::optional<PostResult> wait;
};

using PostWire = std::function<PostResult(const WireBody& body)>;

// Posts the lines as one body through `post`: `whole`, the lines packed already (PackBody of
// their text). A batch too large (413) goes again in halves; one with bad lines (400, 422) is
// halved down to the lines the server refuses on their own, which are rejected with the
// server's message, while the others are stored. The server may then hold a good line twice; a
// point of the same series and time is kept once.
BatchOutcome DeliverBatch(const LineBatch& lines, const WireBody& whole, const PostWire& post);
// The same, packing the lines itself.
BatchOutcome DeliverBatch(const LineBatch& lines, const PostWire& post);

}  // namespace orva
