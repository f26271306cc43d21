#include "platform/allocator_tuning.h"

#include <cstdlib> // defines __GLIBC__ on the GNU C library

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace ordavel {

void keepFreedMemoryForReuse()
{
#if defined(__GLIBC__)
    constexpr int kKeptForReuse = 64 * 1024 * 1024;
    constexpr int kOwnMappingFrom = 32 * 1024 * 1024;
    mallopt(M_TRIM_THRESHOLD, kKeptForReuse);
    mallopt(M_MMAP_THRESHOLD, kOwnMappingFrom);
#endif
}

} // namespace ordavel
