//===- util/chunked_vector_test.cpp - Tests of the chunked vector ---------===//

#include "util/chunked_vector.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(ChunkedVector, ElementsStayInPlaceWhileChunksComeFromLargeBlocks) {
  // Far more chunks than are allocated one by one: most come from blocks.
  CChunkedVector<std::uint64_t, 8> numbers;
  std::vector<std::uint64_t *> addresses;
  for (std::uint64_t i = 0; i < 300000; ++i) {
    numbers.push_back(i * 3);
    if (i % 997 == 0)
      addresses.push_back(&numbers.back());
  }
  ASSERT_EQ(numbers.size(), 300000u);
  for (std::uint64_t i = 0; i < numbers.size(); ++i)
    ASSERT_EQ(numbers[i], i * 3) << i;
  for (std::size_t k = 0; k < addresses.size(); ++k)
    EXPECT_EQ(*addresses[k], k * 997 * 3);
  numbers.clear();
  EXPECT_TRUE(numbers.empty());
  numbers.push_back(7);
  EXPECT_EQ(numbers[0], 7u);
}

struct Counted {
  explicit Counted(int *live) : live(live) { ++*live; }
  Counted(Counted &&other) noexcept : live(other.live) { ++*live; }
  Counted(const Counted &) = delete;
  ~Counted() { --*live; }
  int *live;
  std::string text = std::string(40, 'x'); // owns heap memory
};

TEST(ChunkedVector, ClearAndDestructionDestroyEveryElementOnce) {
  int live = 0;
  {
    CChunkedVector<Counted, 4> items;
    for (int i = 0; i < 5000; ++i)
      items.push_back(Counted(&live));
    EXPECT_EQ(live, 5000);
    items.clear();
    EXPECT_EQ(live, 0);
    for (int i = 0; i < 100; ++i)
      items.push_back(Counted(&live));
    EXPECT_EQ(live, 100);
  }
  EXPECT_EQ(live, 0);
}

} // namespace
