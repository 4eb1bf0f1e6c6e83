// Unloading the library closes a port that is still open: the program never calls CloseComPort
// on its way out.
#include <dlfcn.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

TEST(CorvanelUnload, ClosesTheOpenPort) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string path = ptsname(master);
    setenv("CORVANEL_COM1", path.c_str(), 1);

    void* library = dlopen(CORVANEL_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    using OpenFn = std::int32_t (*)(std::int32_t, std::uint32_t);
    const auto open = reinterpret_cast<OpenFn>(dlsym(library, "OpenComPort"));
    ASSERT_NE(open, nullptr);
    ASSERT_EQ(open(1, 19200), 1);

    const int before = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (before >= 0) {
        EXPECT_NE(flock(before, LOCK_EX | LOCK_NB), 0) << "held while loaded";
        close(before);
    } else {
        EXPECT_EQ(errno, EBUSY) << "held while loaded";
    }
    ASSERT_EQ(dlclose(library), 0);
    const int after = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(after, 0) << "released by the unload";
    EXPECT_EQ(flock(after, LOCK_EX | LOCK_NB), 0) << "released by the unload";
    close(after);
    close(master);
    unsetenv("CORVANEL_COM1");
}

}  // namespace
