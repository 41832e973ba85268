// Four processes append to one shared table at the same time while a fifth reads it:
// no record is lost, doubled or torn, and the file stays a valid shared table.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <random>
#include <thread>

#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/error.h"
#include "tests/engine/table_util.h"
#include "tests/forked_process.h"
#include "tests/test_util.h"

namespace px {
namespace {

using test::Channel;
using test::Field;
using test::ForkedProcess;
using test::ScratchDir;
using test::UseTable;

constexpr int kWriters = 4;
constexpr int kPerWriter = 5000;
constexpr uint32_t kHeaderLength = 32 + 4 * 32 + 2;
constexpr uint32_t kRecordLength = 1 + 2 + 6 + 24 + 40;

// The fields of a record written by `writer` as its `seq`-th: a tag naming both, and
// padding whose letter depends on both, so that a record mixed from two writes shows.
std::string Tag(int writer, int seq) {
  return "w" + std::to_string(writer) + "-s" + std::to_string(seq) + "-" +
         std::to_string((writer * 7919 + seq * 104729) % 1000003);
}
std::string Padding(int writer, int seq) {
  return std::string(40, static_cast<char>('a' + (writer * 31 + seq) % 26));
}
std::string Blanks(size_t n) {
  return std::string(n, ' ');
}
std::string Fit(const std::string& s, size_t n) {
  return s + Blanks(n - s.size());
}

enum class Seen { kBlank, kComplete, kTorn };

// What the current record holds; writer and sequence number of a complete one.
Seen Inspect(int* writer, int* seq) {
  const Value w = FIELDGET(1), s = FIELDGET(2), tag = FIELDGET(3), pad = FIELDGET(4);
  *writer = static_cast<int>(w.integer());
  *seq = static_cast<int>(s.integer());
  if (*writer == 0 && *seq == 0 && tag.str() == Blanks(24) && pad.str() == Blanks(40)) {
    return Seen::kBlank;
  }
  if (*writer < 1 || *writer > kWriters || *seq < 1 || *seq > kPerWriter) return Seen::kTorn;
  if (tag.str() != Fit(Tag(*writer, *seq), 24) || pad.str() != Padding(*writer, *seq)) {
    return Seen::kTorn;
  }
  return Seen::kComplete;
}

int Writer(Channel& c, int writer) {
  if (!UseTable("stress", "", /*shared=*/true)) return 1;
  c.Send('r');
  if (c.Receive() != 'g') return 2;
  for (int seq = 1; seq <= kPerWriter; ++seq) {
    if (!DBAPPEND()) return 3;
    FIELDPUT(1, Value::Integer(writer));
    FIELDPUT(2, Value::Integer(seq));
    FIELDPUT(3, Value::String(Tag(writer, seq)));
    FIELDPUT(4, Value::String(Padding(writer, seq)));
  }
  DBUNLOCK();
  DBCLOSEAREA();
  return RecordedErrors().empty() ? 0 : 4;
}

// Reads the count and random records until the test closes the pipe, then checks the
// finished table once more. A record read under its lock must be complete: its writer
// lets go of the lock only after writing it.
int Reader(Channel& c) {
  if (!UseTable("stress", "", /*shared=*/true)) return 11;
  c.Send('r');
  std::mt19937 random(12345);
  uint32_t last = 0;
  int writer = 0, seq = 0;
  while (!c.Closed()) {
    const uint32_t n = RECCOUNT();
    if (n < last) return 12;
    if (n > kWriters * kPerWriter) return 13;
    last = n;
    for (int i = 0; i < 20 && n > 0; ++i) {
      DBGOTO(1 + random() % n);
      if (EOF_()) return 14;
      // A record read while its writer is busy may be blank or (between pages of one
      // write) mixed; under the lock it must be whole.
      if (i % 4 == 0 && RLOCK()) {
        if (Inspect(&writer, &seq) != Seen::kComplete) return 15;
        DBUNLOCK();
      } else {
        Inspect(&writer, &seq);
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (RECCOUNT() != kWriters * kPerWriter) return 16;
  for (uint32_t r = 1; r <= kWriters * kPerWriter; r += 97) {
    DBGOTO(r);
    if (!RLOCK() || Inspect(&writer, &seq) != Seen::kComplete) return 17;
  }
  DBCLOSEAREA();
  return RecordedErrors().empty() ? 0 : 18;
}

TEST(SharedAppendStressTest, FourWritersAndAReader) {
  ScratchDir dir;
  ASSERT_TRUE(test::CreateTable("stress.dbf", {Field("WRITER", 'N', 2), Field("SEQ", 'N', 6),
                                               Field("TAG", 'C', 24), Field("PAD", 'C', 40)}));
  std::vector<std::unique_ptr<ForkedProcess>> writers;
  for (int w = 1; w <= kWriters; ++w) {
    writers.push_back(std::make_unique<ForkedProcess>([w](Channel& c) { return Writer(c, w); }));
    ASSERT_TRUE(writers.back()->started());
  }
  ForkedProcess reader(Reader);
  ASSERT_TRUE(reader.started());
  for (auto& w : writers) ASSERT_EQ(w->channel().Receive(), 'r');
  ASSERT_EQ(reader.channel().Receive(), 'r');
  for (auto& w : writers) w->channel().Send('g');
  for (int w = 0; w < kWriters; ++w) EXPECT_EQ(writers[w]->Join(), 0) << "writer " << w + 1;
  reader.CloseInput();
  EXPECT_EQ(reader.Join(), 0);

  // The file: header, exactly the records, no end-of-file mark.
  const std::string bytes = test::ReadFileBytes(dir.File("stress.dbf"));
  const uint32_t total = kWriters * kPerWriter;
  ASSERT_EQ(bytes.size(), kHeaderLength + static_cast<size_t>(total) * kRecordLength);
  EXPECT_EQ(GetLe32(reinterpret_cast<const uint8_t*>(bytes.data()) + 4), total);
  EXPECT_NE(bytes.back(), '\x1A');

  // Every (writer, sequence) pair exactly once, every record whole.
  ASSERT_TRUE(UseTable("stress", "", /*shared=*/true, /*read_only=*/true));
  ASSERT_EQ(RECCOUNT(), total);
  std::vector<std::vector<bool>> seen(kWriters + 1, std::vector<bool>(kPerWriter + 1, false));
  int bad = 0, twice = 0;
  for (DBGOTOP(); !EOF_(); DBSKIP()) {
    int writer = 0, seq = 0;
    if (Inspect(&writer, &seq) != Seen::kComplete) {
      ++bad;
      continue;
    }
    if (seen[writer][seq]) ++twice;
    seen[writer][seq] = true;
  }
  EXPECT_EQ(bad, 0);
  EXPECT_EQ(twice, 0);
  int missing = 0;
  for (int w = 1; w <= kWriters; ++w) {
    for (int s = 1; s <= kPerWriter; ++s) missing += seen[w][s] ? 0 : 1;
  }
  EXPECT_EQ(missing, 0);
  EXPECT_TRUE(RecordedErrors().empty());
}

}  // namespace
}  // namespace px
