#include "store/perebor.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace tillgate {
namespace {

// The pending list as pool indexes, oldest first, walked by the next links.
std::vector<int> PendingList(TPEREBOR& pool) {
  std::vector<int> list;
  int index = pool.Head();
  for (int n = pool.PendingCount(); n > 0; --n) {
    list.push_back(index);
    index = pool.Record(index).next;
  }
  return list;
}

// Commits one operation tagged with `tag` as its quantity; returns its index.
int CommitTagged(TPEREBOR& pool, double tag) {
  OperationRecord& r = pool.Current();
  r.quantity = tag;
  const int index = r.pool_index;
  pool.Commit();
  return index;
}

// Every link agrees with its neighbour's and the ring holds all records.
void ExpectSoundRing(TPEREBOR& pool) {
  int index = pool.Head();
  for (int n = 0; n < TPEREBOR::kCapacity; ++n) {
    const OperationRecord& r = pool.Record(index);
    ASSERT_EQ(pool.Record(r.next).prev, index);
    index = r.next;
  }
  EXPECT_EQ(index, pool.Head());
}

TEST(Pool, ConstructionLinksTheRing) {
  auto pool = std::make_unique<TPEREBOR>();
  EXPECT_EQ(pool->Record(499).next, 0);
  EXPECT_EQ(pool->Record(0).prev, 499);
  EXPECT_EQ(pool->Record(17).next, 18);
  EXPECT_EQ(pool->Record(17).prev, 16);
  EXPECT_EQ(pool->Record(321).pool_index, 321);
  EXPECT_EQ(&pool->Current(), &pool->Record(0));
  EXPECT_EQ(pool->PendingCount(), 0);
  EXPECT_FALSE(pool->Full());
  ExpectSoundRing(*pool);
}

TEST(Pool, ReleasedRecordIsUsedNext) {
  auto pool = std::make_unique<TPEREBOR>();
  const int first = CommitTagged(*pool, 1);
  EXPECT_TRUE(pool->IsPending(first));
  EXPECT_EQ(pool->Cursor(), 1);
  pool->Release(first);
  EXPECT_EQ(pool->PendingCount(), 0);
  EXPECT_FALSE(pool->IsPending(first));
  // Record 1 is current; after its commit, the released record 0 comes next.
  CommitTagged(*pool, 2);
  EXPECT_EQ(pool->Current().pool_index, first);
  ExpectSoundRing(*pool);
}

TEST(Pool, ReleaseInTheMiddleKeepsTheOthersInOrder) {
  auto pool = std::make_unique<TPEREBOR>();
  std::vector<int> ids;
  for (int i = 0; i < 5; ++i) ids.push_back(CommitTagged(*pool, i));
  pool->Release(ids[2]);
  EXPECT_EQ(PendingList(*pool), (std::vector<int>{ids[0], ids[1], ids[3], ids[4]}));
  pool->Release(ids[0]);  // the head
  EXPECT_EQ(PendingList(*pool), (std::vector<int>{ids[1], ids[3], ids[4]}));
  EXPECT_EQ(pool->Head(), ids[1]);
  ExpectSoundRing(*pool);
}

TEST(Pool, ReleaseOfARecordNotPendingDoesNothing) {
  auto pool = std::make_unique<TPEREBOR>();
  const int a = CommitTagged(*pool, 1);
  const int b = CommitTagged(*pool, 2);
  pool->Release(a);
  pool->Release(a);                           // twice
  pool->Release(pool->Current().pool_index);  // the current record
  pool->Release(-1);
  pool->Release(TPEREBOR::kCapacity);
  EXPECT_EQ(pool->PendingCount(), 1);
  EXPECT_EQ(PendingList(*pool), std::vector<int>{b});
  ExpectSoundRing(*pool);
}

TEST(Pool, MoreThan255PendingStayInOrder) {
  auto pool = std::make_unique<TPEREBOR>();
  std::vector<int> ids;
  for (int i = 0; i < 300; ++i) ids.push_back(CommitTagged(*pool, i));
  EXPECT_EQ(pool->PendingCount(), 300);
  const std::vector<int> list = PendingList(*pool);
  ASSERT_EQ(list, ids);
  for (int i = 0; i < 300; ++i) EXPECT_EQ(pool->Record(list[i]).quantity, i);
}

TEST(Pool, FullRefusesTheNextOperationAndRecoversOnRelease) {
  auto pool = std::make_unique<TPEREBOR>();
  std::vector<int> ids;
  for (int i = 0; i < TPEREBOR::kCapacity; ++i) ids.push_back(CommitTagged(*pool, i));
  ASSERT_TRUE(pool->Full());
  EXPECT_EQ(pool->PendingCount(), 500);
  // Filling the current record must not touch the oldest pending one.
  OperationRecord& current = pool->Current();
  EXPECT_FALSE(pool->IsPending(current.pool_index));
  current.quantity = -1;
  pool->Commit();
  EXPECT_EQ(pool->PendingCount(), 500);
  EXPECT_EQ(PendingList(*pool), ids);
  EXPECT_EQ(pool->Record(ids[0]).quantity, 0);

  pool->Release(ids[7]);
  EXPECT_FALSE(pool->Full());
  EXPECT_EQ(pool->Current().pool_index, ids[7]);
  CommitTagged(*pool, 1000);
  std::vector<int> expected = ids;
  expected.erase(expected.begin() + 7);
  expected.push_back(ids[7]);
  EXPECT_EQ(PendingList(*pool), expected);
  ExpectSoundRing(*pool);

  // Releasing everything in an arbitrary order leaves a sound, empty pool.
  for (int i = 0; i < TPEREBOR::kCapacity; i += 2) pool->Release(expected[i]);
  for (int i = 1; i < TPEREBOR::kCapacity; i += 2) pool->Release(expected[i]);
  EXPECT_EQ(pool->PendingCount(), 0);
  ExpectSoundRing(*pool);
}

TEST(Pool, RingStaysSoundThroughLongRunsOfCommitsAndReleases) {
  // A model of the pending list (oldest first) against the pool, through
  // runs that fill the pool, drain it and release from anywhere in it.
  auto pool = std::make_unique<TPEREBOR>();
  std::vector<int> model;
  int refused = 0;
  uint32_t seed = 12345;
  auto next_random = [&seed](uint32_t bound) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % bound;
  };
  for (int step = 0; step < 20000; ++step) {
    // Phases that favour commits, then releases, so the pool fills and drains.
    const bool favour_commit = (step / 1500) % 2 == 0;
    const bool commit = model.empty() || next_random(100) < (favour_commit ? 80u : 20u);
    if (commit) {
      if (pool->Full()) {
        ++refused;
        pool->Commit();  // refused
      } else {
        model.push_back(CommitTagged(*pool, step));
      }
    } else {
      const size_t at = next_random(static_cast<uint32_t>(model.size()));
      const int index = model[at];
      model.erase(model.begin() + static_cast<long>(at));
      pool->Release(index);
      // The released record is the next one used after the current one.
      if (!pool->Full() && !model.empty() && pool->PendingCount() < TPEREBOR::kCapacity - 1) {
        ASSERT_EQ(pool->Record(pool->Current().next).pool_index, index) << "step " << step;
      }
    }
    ASSERT_EQ(pool->PendingCount(), static_cast<int>(model.size())) << "step " << step;
    if (step % 97 == 0 || model.size() >= TPEREBOR::kCapacity - 1) {
      ASSERT_EQ(PendingList(*pool), model) << "step " << step;
      if (!pool->Full()) {
        const int after_last = model.empty() ? pool->Head() : pool->Record(model.back()).next;
        ASSERT_EQ(pool->Current().pool_index, after_last) << "step " << step;
        ASSERT_FALSE(pool->IsPending(pool->Current().pool_index));
      }
      ExpectSoundRing(*pool);
    }
  }
  EXPECT_GT(refused, 0);  // the runs did reach a full pool
}

// Commits an operation of register (line, network) with `code`, `quantity`,
// operation code and section.
void Pend(TPEREBOR& pool, uint32_t line, uint8_t network, const char* code, double quantity,
          char op, char section) {
  OperationRecord& r = pool.Current();
  std::snprintf(r.goods_code, sizeof r.goods_code, "%s", code);
  r.line_index = line;
  r.network_number = network;
  r.quantity = quantity;
  r.operation_code = op;
  r.section = section;
  pool.Commit();
}

OperationRecord Void(const char* code, double quantity, char section) {
  OperationRecord v;
  std::snprintf(v.goods_code, sizeof v.goods_code, "%s", code);
  v.line_index = 0;
  v.network_number = 1;
  v.quantity = quantity;
  v.operation_code = kOpVoid;
  v.section = section;
  return v;
}

TEST(Pool, AVoidIsCoveredByItsRegistersOwnPendingSales) {
  auto pool = std::make_unique<TPEREBOR>();
  Pend(*pool, 0, 1, "12", 1, kOpSaleByCode, '2');
  Pend(*pool, 0, 1, "12", 1, kOpSaleByBarcode, '2');
  Pend(*pool, 0, 2, "12", 5, kOpSaleByCode, '2');   // other register
  Pend(*pool, 1, 1, "12", 5, kOpSaleByCode, '2');   // other line
  Pend(*pool, 0, 1, "12", 5, kOpSaleByCode, '9');   // other section
  Pend(*pool, 0, 1, "123", 5, kOpSaleByCode, '2');  // other code
  EXPECT_TRUE(VoidCovered(*pool, Void("12", 2, '2')));
  Pend(*pool, 0, 1, "12", 1, kOpReturn, '2');
  EXPECT_FALSE(VoidCovered(*pool, Void("12", 2, '2')));
  Pend(*pool, 0, 1, "12", 3, kOpSaleByCode, '2');
  Pend(*pool, 0, 1, "12", 2, kOpVoid, '2');  // an earlier void takes from the cover
  EXPECT_TRUE(VoidCovered(*pool, Void("12", 2, '2')));
  EXPECT_FALSE(VoidCovered(*pool, Void("12", 2.001, '2')));
  // Weights that sum to the void up to the last bit are covered.
  pool = std::make_unique<TPEREBOR>();
  Pend(*pool, 0, 1, "7", 0.1, kOpSaleByCode, '1');
  Pend(*pool, 0, 1, "7", 0.2, kOpSaleByCode, '1');
  EXPECT_TRUE(VoidCovered(*pool, Void("7", 0.3, '1')));
  EXPECT_FALSE(VoidCovered(*pool, Void("7", 0.301, '1')));
  // Nothing pending covers nothing.
  EXPECT_FALSE(VoidCovered(TPEREBOR(), Void("7", 0.001, '1')));
}

}  // namespace
}  // namespace tillgate
