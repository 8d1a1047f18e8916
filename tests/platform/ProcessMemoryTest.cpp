#include "platform/ProcessMemory.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdlib>
#include <cstring>

namespace {

long minorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// The page faults of allocating `bytes`, writing all of them and freeing them again.
long faultsOfABlock(size_t bytes) {
    const long before = minorFaults();
    void* block = std::malloc(bytes);
    if (!block) return -1;
    std::memset(block, 1, bytes);
    asm volatile("" : : "r"(block) : "memory");  // the writes must happen
    std::free(block);
    return minorFaults() - before;
}

// Once set, a large block freed comes back without touching the system: allocated again, its
// pages are already the process's (a block fresh from the system faults once a 4 KiB page).
// Each test runs in a process of its own, so the allocator starts as the show's does.
TEST(ProcessMemory, AFreedLargeBlockIsReusedWithoutPageFaults) {
    if (!platform::keepFreedBlocksForReuse()) GTEST_SKIP() << "this C library has no such setting";
    for (const size_t mib : {1, 2, 8, 24}) {
        const size_t bytes = mib << 20;
        const long first = faultsOfABlock(bytes);
        EXPECT_GE(first, 0) << mib << " MiB";
        const long again = faultsOfABlock(bytes);
        EXPECT_LT(again, static_cast<long>(bytes / 4096 / 100)) << mib << " MiB: " << again << " faults";
    }
}

}  // namespace
