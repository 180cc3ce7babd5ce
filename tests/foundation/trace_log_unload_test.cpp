// The unload closes the open trace log: run in a forked child, so that releasing the rings leaves
// the test process alone (Windows has no fork; there the unload is the system's detach).
#include <sys/wait.h>
#include <unistd.h>

#include "platform/unload.h"
#include "tests/support/trace_file_fixture.h"

using TraceLog = TraceFileTest;

TEST_F(TraceLog, ModuleUnloadClosesTheOpenLog) {
    // In a child, so that the unload's release of the rings leaves this process alone; _exit
    // skips the C library's flushing, so only the close at unload puts the text on disk.
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        bool opened = TKVOpenTraceLog(widePath_.c_str());
        TKVWriteTraceLog(L"unload");
        TKV::platform::RunUnloadActions();
        ::_exit(opened ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(FileBytes(), Utf16(u"unload"));
}
