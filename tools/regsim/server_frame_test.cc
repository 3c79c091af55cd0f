#include "tools/regsim/server_frame.h"

#include <gtest/gtest.h>

#include <numeric>

namespace tillgate::regsim {
namespace {

using Bytes = std::vector<uint8_t>;
using Kind = ServerEvent::Kind;

void Seal(Bytes& f) {
  const unsigned sum = std::accumulate(f.begin() + 3, f.end() - 1, 0u);
  f.back() = static_cast<uint8_t>(0x100 - (sum & 0xFF));
}

Bytes Command(uint8_t net, uint8_t code) {
  Bytes f{net, 0x30, 0x03, 0x00, code, 0};
  Seal(f);
  return f;
}

// A goods answer as the server builds it.
Bytes Goods(uint8_t net, const std::string& text, uint32_t amount, char section) {
  const size_t l = text.size();
  Bytes f{net, 0x30, static_cast<uint8_t>(l + 12), 0x02, 'n', static_cast<uint8_t>(l)};
  for (char c : text) f.push_back(static_cast<uint8_t>(c));
  f.push_back('t');
  for (int i = 0; i < 4; ++i) f.push_back(static_cast<uint8_t>(amount >> (8 * i)));
  f.insert(f.end(), {0, 0, static_cast<uint8_t>(section), 0});
  Seal(f);
  return f;
}

ServerEvent Check(const Bytes& f) { return CheckServerFrame(f.data(), f.size()); }

const std::string kOneLine = "7.00        *.5";
const std::string kTwoLines = std::string("Milk 1l        ") + "\r\n" + "12.50      *1.0";

TEST(ServerFrame, AcceptsEveryCommandAndBothGoodsLayouts) {
  for (uint8_t code : {'a', '+', 'o', '!', 'u'}) {
    ServerEvent e = Check(Command(10, code));
    ASSERT_EQ(e.kind, Kind::kCommand) << e.reason;
    EXPECT_EQ(e.net, 10);
    EXPECT_EQ(e.command, code);
  }
  const Bytes one = Goods(2, kOneLine, 350, '1');
  ASSERT_EQ(one.size(), 30u);
  ServerEvent e = Check(one);
  ASSERT_EQ(e.kind, Kind::kGoods) << e.reason;
  EXPECT_EQ(e.text, kOneLine);
  EXPECT_EQ(e.amount, 350u);
  EXPECT_EQ(e.section, '1');

  const Bytes two = Goods(3, kTwoLines, 0x01020304, '6');
  ASSERT_EQ(two.size(), 47u);
  e = Check(two);
  ASSERT_EQ(e.kind, Kind::kGoods) << e.reason;
  EXPECT_EQ(e.amount, 0x01020304u);
  EXPECT_EQ(e.section, '6');
}

TEST(ServerFrame, RejectsBrokenFrames) {
  Bytes bad_sum = Command(1, 'a');
  bad_sum[5] ^= 1;
  EXPECT_EQ(Check(bad_sum).reason, "bad checksum");

  Bytes unknown = Command(1, 'x');
  EXPECT_EQ(Check(unknown).kind, Kind::kMalformed);

  Bytes marker = Command(1, 'o');
  marker[1] = 0x31;
  EXPECT_EQ(Check(marker).kind, Kind::kMalformed);

  EXPECT_EQ(Check(Command(11, 'o')).kind, Kind::kMalformed);  // no such network number

  Bytes goods_sum = Goods(2, kOneLine, 350, '1');
  goods_sum[10] ^= 0x40;
  EXPECT_EQ(Check(goods_sum).reason, "bad checksum");

  Bytes length = Goods(2, kOneLine, 350, '1');
  length[2] = 28;
  EXPECT_EQ(Check(length).kind, Kind::kMalformed);

  EXPECT_EQ(Check(Goods(2, std::string(20, 'x'), 1, '1')).kind, Kind::kMalformed);
  EXPECT_EQ(Check(Goods(2, kOneLine, 1, '7')).kind, Kind::kMalformed);
  EXPECT_EQ(Check(Goods(2, std::string(32, 'x'), 1, '1')).kind, Kind::kMalformed);  // no CR LF

  Bytes truncated = Goods(2, kOneLine, 350, '1');
  truncated.pop_back();
  EXPECT_EQ(Check(truncated).kind, Kind::kMalformed);
}

TEST(ServerFrameReader, CutsTheStreamIntoPollsAndFrames) {
  ServerFrameReader reader;
  std::vector<ServerEvent> out;
  Bytes stream{0x12};
  const Bytes start = Command(3, 'a');
  const Bytes goods = Goods(2, kTwoLines, 1250, '2');
  stream.insert(stream.end(), start.begin(), start.end());
  stream.insert(stream.end(), goods.begin(), goods.end());
  stream.push_back(0x1A);
  const auto now = Clock::now();
  for (uint8_t b : stream) reader.Feed(&b, 1, now, &out);  // one byte at a time
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(out[0].kind, Kind::kPoll);
  EXPECT_EQ(out[0].net, 2);
  EXPECT_EQ(out[1].command, 'a');
  EXPECT_EQ(out[2].kind, Kind::kGoods);
  EXPECT_EQ(out[3].kind, Kind::kPoll);
  EXPECT_EQ(out[3].net, 10);
}

TEST(ServerFrameReader, ReportsStrayBytesBadHeadersAndTruncation) {
  ServerFrameReader reader(std::chrono::milliseconds(100));
  std::vector<ServerEvent> out;
  const auto t0 = Clock::now();
  const Bytes stray{0x00, 0xFF, 0x40, 0x13};
  reader.Feed(stray.data(), stray.size(), t0, &out);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].reason, "stray bytes");
  EXPECT_EQ(out[0].bytes.size(), 3u);
  EXPECT_EQ(out[1].kind, Kind::kPoll);

  out.clear();
  const Bytes wrong_length{0x02, 0x30, 0x09, 0x00, 0x61, 0x00};
  reader.Feed(wrong_length.data(), wrong_length.size(), t0, &out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].kind, Kind::kMalformed);
  EXPECT_EQ(out[0].bytes, wrong_length);

  out.clear();
  const Bytes part{0x02, 0x30, 0x03, 0x00};
  reader.Feed(part.data(), part.size(), t0, &out);
  reader.Expire(t0 + std::chrono::milliseconds(50), &out);
  EXPECT_TRUE(out.empty());
  reader.Expire(t0 + std::chrono::milliseconds(150), &out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].reason, "truncated frame");

  // A poll byte after a stalled partial frame is still seen as a poll.
  out.clear();
  reader.Feed(part.data(), 3, t0, &out);
  const uint8_t poll = 0x12;
  reader.Feed(&poll, 1, t0 + std::chrono::milliseconds(120), &out);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].reason, "truncated frame");
  EXPECT_EQ(out[1].kind, Kind::kPoll);
}

}  // namespace
}  // namespace tillgate::regsim
