// The goods file's key index: it finds what a scan of the whole file finds,
// for every key, in goods files made at random; it is built again when the
// file changes under it; a candidate is indexed before it is taken in, on a
// thread of its own when asked, while the old file serves.

#include "store/goods_index.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "config/event_collector.h"
#include "platform/fault_file_system.h"
#include "platform/forwarding_file_system.h"
#include "platform/memory_file_system.h"
#include "platform/platform.h"
#include "store/goods_file.h"
#include "store/store_fixture.h"

namespace tillgate {
namespace {

using testing::DbfImage;
using testing::FieldDef;

// ---- goods files made at random

struct RandomGoods {
  std::string bytes;
  std::vector<std::string> keys;  // codes worth looking up in it
};

std::string Digits(std::mt19937& rng, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += static_cast<char>('0' + rng() % 10);
  return s;
}

// A value for a field of `width`: mostly a code laid out as the field's
// type lays it out, sometimes laid out the other way, blank, full, or with
// spaces where a scan must not mistake them for padding.
std::string FieldValue(std::mt19937& rng, const std::vector<std::string>& pool, int width,
                       char type) {
  std::string code = pool[rng() % pool.size()];
  if (static_cast<int>(code.size()) > width) code.resize(static_cast<size_t>(width));
  const std::string pad(static_cast<size_t>(width) - code.size(), ' ');
  switch (rng() % 10) {
    case 0:
      return std::string(static_cast<size_t>(width), ' ');
    case 1:
      return type == 'N' ? code + pad : pad + code;  // the other layout
    case 2:
      return Digits(rng, width);
    case 3:
      if (width > 2) return code.substr(0, 1) + " " + Digits(rng, width - 2);
      [[fallthrough]];
    default:
      return type == 'N' ? pad + code : code + pad;
  }
}

RandomGoods MakeRandomGoods(std::mt19937& rng) {
  const char code_type = "CCCNND"[rng() % 6];
  const int code_length = 1 + static_cast<int>(rng() % 25);
  const bool has_barcode = rng() % 4 != 0;
  const int barcode_length = 1 + static_cast<int>(rng() % 25);
  const int name_length = 1 + static_cast<int>(rng() % 40);
  std::vector<FieldDef> fields = {{"CODE", code_type, code_length},
                                  {"NAME", 'C', name_length},
                                  {"PRICE", 'N', 8, 2},
                                  {"DIVNUM", 'C', 1 + static_cast<int>(rng() % 3)}};
  if (has_barcode) fields.push_back({"SH_CODE", 'C', barcode_length});
  if (rng() % 2) fields.push_back({"RES", 'N', 10, 3});
  if (rng() % 3 == 0) fields.push_back({"NOTE", 'C', 1 + static_cast<int>(rng() % 9)});
  std::shuffle(fields.begin(), fields.end(), rng);

  // Few distinct codes, so that keys repeat; of every length, with leading
  // zeros as weight barcodes leave them, and with nibbles past 9 as ":".
  std::vector<std::string> pool = {"", "0", "1", "12", "012", "00012", "4600000000011"};
  for (int i = 0; i < 12; ++i) pool.push_back(Digits(rng, static_cast<int>(rng() % 16)));
  pool.push_back("2" + Digits(rng, 4));
  pool.push_back("12:" + Digits(rng, 2));

  DbfImage image;
  image.fields = fields;
  const int count = static_cast<int>(rng() % 120);
  for (int r = 0; r < count; ++r) {
    std::vector<std::string> row;
    for (const FieldDef& f : fields) {
      if (f.name == "CODE" || f.name == "SH_CODE") {
        row.push_back(FieldValue(rng, pool, f.length, f.type));
      } else if (f.name == "NAME") {
        // Now and then a name the register would take for none.
        row.push_back(rng() % 15 == 0 ? std::string(1, '\0') : "Goods " + std::to_string(r));
      } else if (f.name == "PRICE") {
        row.push_back(std::to_string(r) + ".50");
      } else if (f.name == "DIVNUM") {
        row.push_back(std::to_string(r % 10));
      } else {
        row.push_back("");
      }
    }
    image.records.push_back(row);
  }
  // Headers that count more records than there are, or fewer.
  if (rng() % 5 == 0) image.record_count = std::max(0, count + static_cast<int>(rng() % 7) - 3);
  RandomGoods goods;
  goods.bytes = image.Bytes();
  // Deleted records are keys like any other.
  const size_t header = static_cast<size_t>(image.HeaderLength());
  const size_t length = static_cast<size_t>(image.RecordLength());
  for (int r = 0; r < count; ++r)
    if (rng() % 6 == 0) goods.bytes[header + length * static_cast<size_t>(r)] = '*';

  goods.keys = pool;
  for (const std::string& code : pool) {
    goods.keys.push_back(code + " ");
    goods.keys.push_back(" " + code);
    if (!code.empty()) goods.keys.push_back(code.substr(0, code.size() - 1));
    goods.keys.push_back("0" + code);
  }
  for (int i = 0; i < 10; ++i) goods.keys.push_back(Digits(rng, static_cast<int>(rng() % 27)));
  return goods;
}

std::string Describe(LookUpResult result, const GoodsItem& item) {
  return std::to_string(static_cast<int>(result)) + " #" + std::to_string(item.record_number) +
         " " + std::string(item.name, static_cast<size_t>(item.name_length)) + " " +
         std::string(1, item.section) + " " + std::to_string(item.price);
}

TEST(GoodsIndexProperty, FindsWhatTheScanFindsForEveryKey) {
  std::mt19937 rng(20240611);
  int files = 0, found = 0, compared = 0;
  for (int round = 0; round < 400; ++round) {
    const RandomGoods goods = MakeRandomGoods(rng);
    MemoryFileSystem fs;
    fs.Put("g/tovars.dbf", goods.bytes);
    GoodsFile file(&fs, nullptr, "g");
    if (!file.Exchange()) continue;  // a layout refused as a whole
    ++files;
    ASSERT_NE(file.Index(), nullptr);
    for (const std::string& key : goods.keys) {
      for (const uint8_t kind : {kLookupByCode, kLookupByBarcode}) {
        GoodsItem indexed, scanned;
        const LookUpResult by_index = file.Find(key, kind, &indexed);
        const LookUpResult by_scan = file.FindByScan(key, kind, &scanned);
        ASSERT_EQ(Describe(by_index, indexed), Describe(by_scan, scanned))
            << "round " << round << " key '" << key << "' kind " << int{kind};
        ++compared;
        if (by_scan == LookUpResult::kFound) ++found;
      }
    }
  }
  std::printf("%d files, %d look-ups compared, %d found\n", files, compared, found);
  // The random files are mostly usable and the keys mostly there.
  EXPECT_GT(files, 300);
  EXPECT_GT(found, compared / 10);
}

// ---- the index on its own

// A file that another program writes while the index reads it.
class ChangingFile final : public File {
 public:
  explicit ChangingFile(std::string bytes) : bytes_(std::move(bytes)) {}
  Status ReadAt(uint64_t offset, char* buf, size_t n, size_t* got) override {
    *got = offset < bytes_.size() ? std::min<size_t>(n, bytes_.size() - offset) : 0;
    std::memcpy(buf, bytes_.data() + std::min<uint64_t>(offset, bytes_.size()), *got);
    if (++reads_ == change_at_read) ++modified_;
    return Status::kOk;
  }
  Status WriteAt(uint64_t, const char*, size_t) override { return Status::kError; }
  Status Size(uint64_t* size) override {
    *size = bytes_.size();
    return Status::kOk;
  }
  Status Close() override { return Status::kOk; }
  Status Identity(FileIdentity* identity) override {
    *identity = {7, 7};
    return Status::kOk;
  }
  Status Stat(FileStat* stat) override {
    stat->identity = {7, 7};
    stat->size = bytes_.size();
    stat->modified_ns = modified_;
    return Status::kOk;
  }
  int change_at_read = 0;

 private:
  std::string bytes_;
  int reads_ = 0;
  int64_t modified_ = 1;
};

GoodsLayout LayoutOf(const std::string& bytes) {
  MemoryFileSystem fs;
  fs.Put("f", bytes);
  std::unique_ptr<File> file;
  fs.Open("f", OpenMode::kReadOnlyUnlocked, &file);
  TDBFF dbf;
  GoodsLayout layout;
  EXPECT_TRUE(ReadGoodsLayout(dbf, file.get(), &layout));
  return layout;
}

TEST(GoodsIndex, KeysInFileOrderAndHowABuildFails) {
  DbfImage image = testing::SampleGoods();
  image.records.push_back(testing::GoodsRow("12", "Milk again", "1", "1", "", ""));
  const std::string bytes = image.Bytes();
  const GoodsLayout layout = LayoutOf(bytes);

  ChangingFile file(bytes);
  GoodsIndex index;
  ASSERT_TRUE(GoodsIndex::Build(file, layout, nullptr, &index).ok());
  EXPECT_EQ(index.Records(), 6u);
  EXPECT_EQ(index.RecordLength(), image.RecordLength());
  EXPECT_EQ(index.Bytes(), 12u * 6 * 2);  // CODE and SH_CODE of six records
  // Both records with code 12, the first first.
  const auto twelve = index.Candidates(GoodsKey::kCode, "12           ");
  ASSERT_EQ(twelve.size(), 2u);
  EXPECT_EQ(twelve[0].record, 2u);
  EXPECT_EQ(twelve[1].record, 6u);
  EXPECT_TRUE(index.Candidates(GoodsKey::kCode, "12").empty());  // not the whole field
  ASSERT_EQ(index.Candidates(GoodsKey::kBarcode, "4600000000028").size(), 1u);
  // Four records have no barcode: one key, four records.
  EXPECT_EQ(index.Candidates(GoodsKey::kBarcode, std::string(13, ' ')).size(), 4u);

  // A file written while it is read is not described by what was read.
  ChangingFile changing(bytes);
  changing.change_at_read = 2;
  GoodsIndex untouched;
  const Status changed = GoodsIndex::Build(changing, layout, nullptr, &untouched);
  EXPECT_EQ(changed.Reason(), "it changed while its index was built");
  EXPECT_EQ(untouched.Records(), 0u);
  // No usable header, or asked to stop.
  ChangingFile cut(bytes.substr(0, 12));
  EXPECT_EQ(GoodsIndex::Build(cut, layout, nullptr, &untouched).Reason(),
            "its header is cut short");
  std::atomic<bool> stop{true};
  EXPECT_FALSE(GoodsIndex::Build(file, layout, &stop, &untouched).ok());
}

// ---- the index in the goods file

// Moves the file's time of last write on: a write within the same tick of
// the file clock as an earlier one would not tell.
void Later(const std::string& path) {
  std::filesystem::last_write_time(
      path, std::filesystem::last_write_time(path) + std::chrono::seconds(5));
}

class GoodsFileIndex : public testing::StoreTest {
 protected:
  GoodsFile& MakeGoods(bool background = false) {
    goods_ = std::make_unique<GoodsFile>(&fs_, &events_, goods_dir_.path());
    goods_->SetBackgroundIndexing(background);
    goods_->Exchange();
    return *goods_;
  }
  GoodsItem Find(const std::string& code, uint8_t kind = kLookupByCode) {
    GoodsItem item;
    result_ = goods_->Find(code, kind, &item);
    return item;
  }
  bool GoodsAccepted() override { return goods_ && goods_->IsOpen(); }

  std::unique_ptr<GoodsFile> goods_;
  LookUpResult result_ = LookUpResult::kFound;
};

TEST_F(GoodsFileIndex, ALookUpReadsOnlyTheRecordItFinds) {
  DbfImage image;
  image.fields = testing::GoodsFields();
  for (int i = 1; i <= 2000; ++i)
    image.records.push_back(testing::GoodsRow(std::to_string(i), "Goods " + std::to_string(i),
                                              "1.00", "1", "46" + std::to_string(i), "1"));
  PutGoods("tovars.dbf", image);
  MakeGoods();
  const int reads = fs_.Calls(FsOp::kRead);
  EXPECT_EQ(Find("462000", kLookupByBarcode).record_number, 2000);
  EXPECT_EQ(Find("1999").record_number, 1999);
  EXPECT_EQ(Find("2001").record_number, -1);
  EXPECT_EQ(result_, LookUpResult::kNotFound);
  EXPECT_EQ(fs_.Calls(FsOp::kRead) - reads, 2);  // one record each; none for a missing key
}

// Another program writes the file in service: the index is built again
// before the next look-up uses it. The server's own stock writes change no
// key and keep the index.
TEST_F(GoodsFileIndex, AFileChangedUnderTheIndexIsIndexedAgain) {
  PutGoods("tovars.dbf", testing::SampleGoods());
  GoodsFile& goods = MakeGoods();
  goods.SetTrackStock(true);
  const GoodsIndex* first = goods.Index();
  ASSERT_NE(first, nullptr);
  ASSERT_EQ(goods.MoveStock(1, kOpSaleByCode, 1), StockResult::kMoved);
  EXPECT_EQ(Find("100").record_number, 1);
  EXPECT_EQ(goods.Index(), first);  // kept

  // Salt (record 4) becomes 444, written in place as another program would
  // write it, at a later time than the server's own write.
  const DbfImage image = testing::SampleGoods();
  std::string bytes = testing::ReadFile(Goods("tovars.dbf"));
  bytes.replace(static_cast<size_t>(image.HeaderLength() + 3 * image.RecordLength() + 1), 13,
                "444          ");
  testing::WriteFile(Goods("tovars.dbf"), bytes);
  Later(Goods("tovars.dbf"));
  EXPECT_EQ(Find("444").record_number, 4);
  EXPECT_EQ(Find("77").record_number, -1);
  EXPECT_NE(goods.Index(), nullptr);
}

// A candidate whose index cannot be built is refused with its reason, told
// once; the old file serves on, and the candidate is not read again until
// it changes.
TEST_F(GoodsFileIndex, ACandidateThatCannotBeIndexedIsRefused) {
  PutGoods("tovars.dbf", testing::SampleGoods());
  GoodsFile& goods = MakeGoods();
  DbfImage next = testing::SampleGoods();
  next.records[0] = testing::GoodsRow("900", "Other", "1.00", "1", "", "50.000");
  PutGoods("tovars2.dbf", next);
  Signal(Goods("tovars.exp"));
  // The header and the layout read, then the records fail.
  fs_.FailNth(FsOp::kRead, 3, "tovars2.dbf", 1, Status(Status::kError, "Input/output error"));
  EXPECT_FALSE(goods.Exchange());
  EXPECT_EQ(events_.Count("goods candidate tovars2.dbf rejected: its index cannot be built "
                          "(Input/output error)"),
            1);
  const int reads = fs_.Calls(FsOp::kRead);
  for (int step = 0; step < 3; ++step) EXPECT_FALSE(goods.Exchange());
  EXPECT_EQ(events_.Count("its index cannot be built"), 1);
  EXPECT_EQ(fs_.Calls(FsOp::kRead) - reads, 3);  // its layout each step, no more
  EXPECT_TRUE(testing::FileExists(Goods("tovars.exp")));
  EXPECT_EQ(Find("100").record_number, 1);  // the old file
  // Placed again, it is taken in.
  next.records[1] = testing::GoodsRow("901", "Another", "1.00", "1", "", "5.000");
  PutGoods("tovars2.dbf", next);
  Later(Goods("tovars2.dbf"));
  EXPECT_TRUE(goods.Exchange());
  EXPECT_EQ(Find("901").record_number, 2);
  EXPECT_FALSE(testing::FileExists(Goods("tovars.exp")));
}

// ---- building on a thread of its own

// Reads of tovars2.dbf made away from the test's thread wait at a gate
// until it opens (or fail, when told to).
class GateFileSystem final : public ForwardingFileSystem {
 public:
  explicit GateFileSystem(FileSystem* base) : ForwardingFileSystem(base) {}

  void Release(bool fail = false) {
    std::lock_guard lock(mutex_);
    open_ = true;
    fail_ = fail;
    changed_.notify_all();
  }

  Status Open(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) override {
    const Status s = base()->Open(path, mode, file);
    if (s.ok() && path.ends_with("tovars2.dbf"))
      *file = std::make_unique<GatedFile>(this, std::move(*file));
    return s;
  }

 private:
  class GatedFile final : public File {
   public:
    GatedFile(GateFileSystem* gate, std::unique_ptr<File> base)
        : gate_(gate), base_(std::move(base)) {}
    Status ReadAt(uint64_t offset, char* buf, size_t n, size_t* got) override {
      if (std::this_thread::get_id() != gate_->owner_ && !gate_->Pass()) {
        *got = 0;
        return Status(Status::kError, "Input/output error");
      }
      return base_->ReadAt(offset, buf, n, got);
    }
    Status WriteAt(uint64_t offset, const char* buf, size_t n) override {
      return base_->WriteAt(offset, buf, n);
    }
    Status Size(uint64_t* size) override { return base_->Size(size); }
    Status Close() override { return base_->Close(); }
    Status Identity(FileIdentity* identity) override { return base_->Identity(identity); }
    Status Stat(FileStat* stat) override { return base_->Stat(stat); }

   private:
    GateFileSystem* gate_;
    std::unique_ptr<File> base_;
  };

  // Waits for the gate; false when reads are to fail.
  bool Pass() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return open_; });
    return !fail_;
  }

  const std::thread::id owner_ = std::this_thread::get_id();
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
  bool fail_ = false;
};

class GoodsIndexInBackground : public testing::StoreTest {
 protected:
  GoodsIndexInBackground() : gate_(&SystemFileSystem()) {}

  void SetUp() override {
    PutGoods("tovars.dbf", testing::SampleGoods());
    goods_ = std::make_unique<GoodsFile>(&gate_, &events_, goods_dir_.path());
    goods_->SetBackgroundIndexing(true);
    ASSERT_TRUE(goods_->Exchange());
    DbfImage next = testing::SampleGoods();
    next.records[0] = testing::GoodsRow("900", "Other", "1.00", "1", "", "50.000");
    PutGoods("tovars2.dbf", next);
    Signal(Goods("tovars.exp"));
  }
  void TearDown() override {
    gate_.Release();
    goods_.reset();
    StoreTest::TearDown();
  }
  int32_t Find(const std::string& code) {
    GoodsItem item;
    goods_->Find(code, kLookupByCode, &item);
    return item.record_number;
  }
  // Steps until the exchange ends one way or the other (at most 10 s).
  bool StepUntilSettled() {
    for (int i = 0; i < 10000; ++i) {
      if (goods_->Exchange()) return true;
      if (!goods_->Indexing()) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }
  bool GoodsAccepted() override { return goods_ && goods_->IsOpen(); }

  GateFileSystem gate_;
  std::unique_ptr<GoodsFile> goods_;
};

TEST_F(GoodsIndexInBackground, TheOldFileServesWhileTheCandidateIsIndexed) {
  EXPECT_FALSE(goods_->Exchange());
  ASSERT_TRUE(goods_->Indexing());
  // The build waits at the gate; steps and look-ups go on meanwhile.
  for (int step = 0; step < 3; ++step) {
    EXPECT_FALSE(goods_->Exchange());
    EXPECT_EQ(Find("100"), 1);
    EXPECT_EQ(Find("900"), -1);
  }
  EXPECT_TRUE(testing::FileExists(Goods("tovars.exp")));
  EXPECT_EQ(events_.Count("taken in"), 0);
  gate_.Release();
  ASSERT_TRUE(StepUntilSettled());
  EXPECT_FALSE(goods_->Indexing());
  EXPECT_EQ(Find("900"), 1);
  EXPECT_EQ(Find("100"), -1);
  EXPECT_FALSE(testing::FileExists(Goods("tovars.exp")));
  EXPECT_EQ(events_.Count("goods file tovars2.dbf taken in as tovars.dbf"), 1);
}

TEST_F(GoodsIndexInBackground, ACandidateWhoseBuildFailsIsRefusedWithItsReason) {
  EXPECT_FALSE(goods_->Exchange());
  gate_.Release(/*fail=*/true);
  EXPECT_FALSE(StepUntilSettled());
  EXPECT_TRUE(events_.Has(
      "goods candidate tovars2.dbf rejected: its index cannot be built (Input/output error)"));
  EXPECT_TRUE(testing::FileExists(Goods("tovars.exp")));
  EXPECT_TRUE(testing::FileExists(Goods("tovars2.dbf")));
  EXPECT_EQ(Find("100"), 1);
}

TEST_F(GoodsIndexInBackground, ASignalTakenBackEndsTheBuild) {
  EXPECT_FALSE(goods_->Exchange());
  ASSERT_TRUE(goods_->Indexing());
  std::filesystem::remove(Goods("tovars.exp"));
  gate_.Release();
  EXPECT_TRUE(goods_->Exchange());  // the old file, still in service
  EXPECT_FALSE(goods_->Indexing());
  EXPECT_EQ(Find("100"), 1);
  EXPECT_TRUE(testing::FileExists(Goods("tovars2.dbf")));
}

}  // namespace
}  // namespace tillgate
