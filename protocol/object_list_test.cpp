#include "protocol/object_list.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Elements = std::vector<void*>;

// The elements from head to tail, checked against the walk from tail to head and
// the count, so a broken back link shows in every test.
Elements Contents(const CZkObList& list) {
  Elements forward;
  for (CZkObList::Position at = list.GetHeadPosition(); at;) forward.push_back(list.GetNext(&at));
  Elements backward;
  for (CZkObList::Position at = list.GetTailPosition(); at;) {
    backward.insert(backward.begin(), list.GetPrev(&at));
  }
  EXPECT_EQ(forward, backward);
  EXPECT_EQ(static_cast<int32_t>(forward.size()), list.GetCount());
  EXPECT_EQ(forward.empty(), list.IsEmpty());
  return forward;
}

class ObjectList : public ::testing::Test {
 protected:
  void* a = &slots[0];
  void* b = &slots[1];
  void* c = &slots[2];
  void* d = &slots[3];
  CZkObList list;

 private:
  int slots[4] = {};
};

TEST_F(ObjectList, EmptyListGivesNothing) {
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_EQ(list.GetHead(), nullptr);
  EXPECT_EQ(list.GetTail(), nullptr);
  EXPECT_EQ(list.RemoveHead(), nullptr);
  EXPECT_EQ(list.RemoveTail(), nullptr);
  EXPECT_EQ(list.GetHeadPosition(), nullptr);
  EXPECT_EQ(list.GetTailPosition(), nullptr);
  EXPECT_EQ(list.FindIndex(0), nullptr);
  EXPECT_EQ(list.Find(a), nullptr);
  EXPECT_EQ(list.GetAt(nullptr), nullptr);
  CZkObList::Position none = nullptr;
  EXPECT_EQ(list.GetNext(&none), nullptr);
  EXPECT_EQ(list.GetPrev(&none), nullptr);
  list.Remove(a);
  list.RemoveAt(nullptr);
  EXPECT_EQ(list.GetCount(), 0);
}

TEST_F(ObjectList, AddsAtBothEndsAndBeforeAPosition) {
  list.AddTail(a);
  list.AddHead(b);
  list.Add(c);
  EXPECT_EQ(Contents(list), (Elements{b, a, c}));
  list.InsertBefore(list.GetHeadPosition(), d);
  list.InsertBefore(list.Find(c), a);
  list.InsertBefore(nullptr, b);
  EXPECT_EQ(Contents(list), (Elements{d, b, a, a, c, b}));
  EXPECT_EQ(list.GetHead(), d);
  EXPECT_EQ(list.GetTail(), b);
}

TEST_F(ObjectList, RemovesByPointerPositionAndEnd) {
  for (void* element : {a, b, a, c, d}) list.AddTail(element);
  list.Remove(a);  // only the first occurrence
  EXPECT_EQ(Contents(list), (Elements{b, a, c, d}));
  list.RemoveAt(list.Find(c));
  EXPECT_EQ(Contents(list), (Elements{b, a, d}));
  EXPECT_EQ(list.RemoveHead(), b);
  EXPECT_EQ(list.RemoveTail(), d);
  EXPECT_EQ(Contents(list), (Elements{a}));
  list.Remove(c);  // absent
  EXPECT_EQ(Contents(list), (Elements{a}));
}

TEST_F(ObjectList, RemovingTheOnlyNodeEmptiesBothEnds) {
  list.AddTail(a);
  list.RemoveAt(list.GetHeadPosition());
  EXPECT_EQ(list.GetHeadPosition(), nullptr);
  EXPECT_EQ(list.GetTailPosition(), nullptr);
  EXPECT_EQ(Contents(list), Elements{});
  list.AddHead(b);
  list.AddTail(c);
  EXPECT_EQ(Contents(list), (Elements{b, c}));
}

TEST_F(ObjectList, FindIndexCountsFromZeroFromEitherEnd) {
  int storage[5] = {};
  Elements added;
  for (int32_t size = 1; size <= 5; ++size) {
    SCOPED_TRACE(size);
    added.push_back(&storage[size - 1]);
    list.AddTail(added.back());
    for (int32_t index = 0; index < size; ++index) {
      EXPECT_EQ(list.GetAt(list.FindIndex(index)), added[static_cast<size_t>(index)]);
    }
    EXPECT_EQ(list.FindIndex(size), nullptr);
    EXPECT_EQ(list.FindIndex(-1), nullptr);
  }
  EXPECT_EQ(list.FindIndex(list.GetCount() - 1), list.GetTailPosition());
}

TEST_F(ObjectList, NullIsAnElementLikeAnyOther) {
  list.AddTail(a);
  list.AddTail(nullptr);
  EXPECT_TRUE(list.Contains(nullptr));
  EXPECT_EQ(list.Find(nullptr), list.GetTailPosition());
  list.Remove(nullptr);
  EXPECT_FALSE(list.Contains(nullptr));
  EXPECT_EQ(Contents(list), (Elements{a}));
}

TEST_F(ObjectList, RemovalWhileIteratingWithTheNextPositionFetchedFirst) {
  for (void* element : {a, b, a, c, a}) list.AddTail(element);
  for (CZkObList::Position at = list.GetHeadPosition(); at;) {
    CZkObList::Position current = at;
    if (list.GetNext(&at) == a) list.RemoveAt(current);
  }
  EXPECT_EQ(Contents(list), (Elements{b, c}));
}

TEST(ObjectListOwnership, DrainingLeavesTheElementsToTheirOwner) {
  int* owned = new int(5);
  {
    CZkObList list;
    list.AddTail(owned);
    list.AddTail(owned);
    list.RemoveAll();
    EXPECT_EQ(Contents(list), Elements{});
    list.AddTail(owned);
  }  // the destructor frees its node only
  EXPECT_EQ(*owned, 5);
  delete owned;
}

}  // namespace
