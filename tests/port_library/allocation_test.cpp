// A failed allocation inside the library comes back as the entry point's failure value: a C caller
// cannot catch an exception. This program replaces the global allocator, so the library's
// allocations fail where the test says.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "corvanel.h"

namespace {

// Allocations still allowed before the next one fails; negative: no limit.
long g_allocationsLeft = -1;
bool g_allocationFailed = false;

}  // namespace

void* operator new(std::size_t size) {
    if (g_allocationsLeft == 0) {
        g_allocationFailed = true;
        throw std::bad_alloc();
    }
    if (g_allocationsLeft > 0) {
        --g_allocationsLeft;
    }
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept {
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

namespace {

TEST(CorvanelAllocation, FailureAtEveryPointOfAnOpenIsAFailedOpen) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    setenv("CORVANEL_COM1", ptsname(master), 1);

    bool opened = false;
    int failedOpens = 0;
    for (long allowed = 0; !opened && allowed < 1000; ++allowed) {
        SCOPED_TRACE(allowed);
        int result = -1;
        g_allocationFailed = false;
        g_allocationsLeft = allowed;
        try {
            result = OpenComPort(1, 19200);
        } catch (...) {
            g_allocationsLeft = -1;
            ADD_FAILURE() << "an exception left OpenComPort";
            break;
        }
        g_allocationsLeft = -1;
        opened = !g_allocationFailed;
        failedOpens += g_allocationFailed ? 1 : 0;
        EXPECT_EQ(result, g_allocationFailed ? 0 : 1);
        EXPECT_EQ(CloseComPort(), 1);
    }
    EXPECT_TRUE(opened) << "the open kept allocating";
    EXPECT_GT(failedOpens, 0) << "the open allocated nothing, so nothing was tried";
    unsetenv("CORVANEL_COM1");
    close(master);
}

}  // namespace
