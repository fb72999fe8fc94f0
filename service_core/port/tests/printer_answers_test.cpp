#include "printer_answers.h"

#include <gtest/gtest.h>

#include <random>

namespace service_core {
namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kStatusReady = {0x14, 0, 0, 0};
const Bytes kCoverOpen = {0x3C, 0, 0, 0};
Bytes Answer(const char* id) {
  return {0x37, 0x22, uint8_t(id[0]), uint8_t(id[1]), uint8_t(id[2]), uint8_t(id[3]), 0x00};
}
Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

struct Scanned {
  std::vector<std::string> ids;  // "cleared" for the buffer-clear answer
  Bytes other;
};

// Feeds `stream` cut at the given positions.
Scanned Scan(const Bytes& stream, std::vector<size_t> cuts) {
  PrinterAnswerScanner scanner;
  Scanned out;
  std::vector<PrinterAnswer> answers;
  size_t from = 0;
  cuts.push_back(stream.size());
  for (size_t cut : cuts) {
    scanner.Feed(std::span(stream).subspan(from, cut - from), answers, out.other);
    from = cut;
  }
  for (const PrinterAnswer& a : answers) {
    out.ids.push_back(a.kind == PrinterAnswer::Kind::kBuffersCleared
                          ? "cleared"
                          : std::string(a.id.begin(), a.id.end()));
  }
  return out;
}

TEST(PrinterAnswers, FoundAnywhereInAReadAndAcrossReads) {
  // Between two status blocks, split in every possible place, and several in one read.
  const Bytes stream = Join({kStatusReady, Answer("0001"), kCoverOpen, Answer("0002"),
                             Bytes{0x37, 0x25, 0x00}, kStatusReady});
  for (size_t cut = 0; cut <= stream.size(); ++cut) {
    const Scanned s = Scan(stream, {cut});
    EXPECT_EQ(s.ids, (std::vector<std::string>{"0001", "0002", "cleared"})) << "cut at " << cut;
    EXPECT_EQ(s.other, Join({kStatusReady, kCoverOpen, kStatusReady})) << "cut at " << cut;
  }
  // One byte a read.
  std::vector<size_t> every_byte;
  for (size_t i = 1; i < stream.size(); ++i) every_byte.push_back(i);
  EXPECT_EQ(Scan(stream, every_byte).ids.size(), 3u);
}

TEST(PrinterAnswers, SomethingThatOnlyBeginsLikeAnAnswerIsPassedOn) {
  const Bytes broken = {0x37, 0x22, 0x30, 0x01, 0x37, 0x25, 0x07, 0x37};
  const Scanned s = Scan(Join({broken, Answer("9999")}), {3, 6});
  EXPECT_EQ(s.ids, std::vector<std::string>{"9999"});
  EXPECT_EQ(s.other, broken);
}

TEST(PrinterAnswers, RandomCutsNeverLoseOrInventAnAnswer) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    Bytes stream;
    std::vector<std::string> expected;
    for (int part = 0; part < 10; ++part) {
      if (random() % 2) {
        const std::string id = std::to_string(1000 + random() % 9000);
        expected.push_back(id);
        const Bytes a = Answer(id.c_str());
        stream.insert(stream.end(), a.begin(), a.end());
      } else {
        stream.insert(stream.end(), kStatusReady.begin(), kStatusReady.end());
      }
    }
    std::vector<size_t> cuts;
    for (size_t at = random() % 5; at < stream.size(); at += 1 + random() % 9) cuts.push_back(at);
    EXPECT_EQ(Scan(stream, cuts).ids, expected);
  }
}

TEST(PrinterAnswers, MarksRoundTripThroughIdentifiers) {
  EXPECT_EQ(MarkFromIdentifier(MarkIdentifier(42)), 42);
  EXPECT_EQ(MarkFromIdentifier(MarkIdentifier(10007)), 7);
  EXPECT_EQ(MarkFromIdentifier({'F', 'F', 'F', 'F'}), -1);
}

}  // namespace
}  // namespace service_core
