// What of a request reached the printer when the link lost it, from where its pieces went
// in the link's byte stream.
#include "written_request.h"

#include <gtest/gtest.h>

#include <string>

namespace service_core {
namespace {

// A request of three pieces, "aaaa" "bbbb" "cccc", written at `starts`.
WrittenRequest ThreePieces(std::vector<uint64_t> starts) {
  WrittenRequest request;
  for (const char c : {'a', 'b', 'c'}) {
    request.wire.insert(request.wire.end(), 4, static_cast<uint8_t>(c));
    request.EndPiece();
  }
  request.piece_starts = std::move(starts);
  return request;
}

std::string Wire(const WrittenRequest& request) { return {request.wire.begin(), request.wire.end()}; }

TEST(WrittenRequest, OnlyTheBytesPastTheCutAreKeptWhateverCameBetweenThePieces) {
  // Other users of the link wrote 10 bytes between the first and second piece.
  WrittenRequest request = ThreePieces({100, 114, 118});
  EXPECT_EQ(request.KeepUnreached(116), ReachedPart::kPart);
  EXPECT_EQ(Wire(request), "bbcccc");
  EXPECT_EQ(request.piece_ends, (std::vector<size_t>{2, 6}));

  request = ThreePieces({100, 114, 118});
  EXPECT_EQ(request.KeepUnreached(110), ReachedPart::kPart);  // in the gap: the first piece
  EXPECT_EQ(Wire(request), "bbbbcccc");

  request = ThreePieces({100, 114, 118});
  EXPECT_EQ(request.KeepUnreached(122), ReachedPart::kAll);
  request = ThreePieces({100, 114, 118});
  EXPECT_EQ(request.KeepUnreached(100), ReachedPart::kNone);
  EXPECT_EQ(Wire(request), "aaaabbbbcccc");
}

TEST(WrittenRequest, PiecesNeverWrittenAreKeptWholeAndTheCompletionEndsTheLastPiece) {
  // The second write failed after two bytes; the third was never tried.
  WrittenRequest request = ThreePieces({100, 104, WrittenRequest::kNotWritten});
  EXPECT_EQ(request.KeepUnreached(106), ReachedPart::kPart);
  EXPECT_EQ(Wire(request), "bbcccc");

  const uint8_t completion[] = {'!', '!'};
  WrittenRequest empty;
  empty.EndWith(completion);
  EXPECT_EQ(empty.piece_ends, (std::vector<size_t>{2}));
  request = ThreePieces({});
  request.EndWith(completion);
  EXPECT_EQ(request.piece_ends, (std::vector<size_t>{4, 8, 14}));
}

}  // namespace
}  // namespace service_core
