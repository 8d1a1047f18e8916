// The allocator's thresholds on Unix: the GNU C library's mallopt; other C libraries keep theirs.
#include "platform/ProcessMemory.h"

#include <cstdlib>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace platform {

bool keepFreedBlocksForReuse() {
#ifdef __GLIBC__
    // Blocks below the mmap threshold come from the heap, and a heap's free end goes back to the
    // system only beyond the trim threshold. Set, both stay fixed: glibc otherwise moves the mmap
    // threshold up to the size of the last mapped block freed, so whether a driver's buffer is
    // mapped afresh each frame depends on what else the process freed before.
    return mallopt(M_MMAP_THRESHOLD, 32 << 20) == 1 && mallopt(M_TRIM_THRESHOLD, 64 << 20) == 1;
#else
    return false;
#endif
}

}  // namespace platform
