// The memory set-up of the platform layer.
#include "data/platform.h"

#include <gtest/gtest.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <cstdlib>

namespace momiru {
namespace {

// A block the size of a SoundFont's samples, freed and allocated again, stays a mapping of its
// own, so that its pages go back to the system when it is freed. Without the set-up the C library
// serves the second one from its heap, which keeps the pages.
TEST(Platform, LargeBlocksAreGivenBackWhenFreed) {
#if defined(__SANITIZE_ADDRESS__) || !defined(__GLIBC__)
  GTEST_SKIP() << "the C library's own allocator is not in use";
#else
  returnLargeBlocksWhenFreed();
  constexpr std::size_t kSize = std::size_t{6} << 20;
  for (int round = 0; round < 3; ++round) {
    const std::size_t mappedBefore = mallinfo2().hblkhd;
    char* block = static_cast<char*>(std::malloc(kSize));
    ASSERT_NE(block, nullptr);
    asm volatile("" : : "r"(block) : "memory");  // the block is used, not optimised away
    EXPECT_GE(mallinfo2().hblkhd, mappedBefore + kSize) << "round " << round;
    std::free(block);
    EXPECT_EQ(mallinfo2().hblkhd, mappedBefore) << "round " << round;
  }
#endif
}

}  // namespace
}  // namespace momiru
