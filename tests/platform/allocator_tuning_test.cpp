#include "platform/allocator_tuning.h"

#include <gtest/gtest.h>

#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>

namespace ordavel {
namespace {

// A page's working buffers (here 4 MB, which the allocator would otherwise
// map and unmap on its own) come from the reusable heap, and freeing them
// keeps that memory for the next page.
TEST(AllocatorTuning, BuffersOfAPageComeFromTheHeapAndStayForTheNextPage)
{
    keepFreedMemoryForReuse();
    constexpr std::size_t kPageBuffers = 4 * 1024 * 1024;
    const std::size_t mappedBefore = mallinfo2().hblkhd;
    void* buffers = std::malloc(kPageBuffers);
    ASSERT_NE(buffers, nullptr);
    EXPECT_EQ(mallinfo2().hblkhd, mappedBefore) << "the buffers were mapped on their own";
    std::free(buffers);
    EXPECT_GE(mallinfo2().fordblks, kPageBuffers) << "the freed buffers went back to the system";
}

} // namespace
} // namespace ordavel
#endif
