#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tkv/winapi.h"

extern char** environ;

namespace {

const char* const kPeerVariable = "TKV_NAMED_PEER";

std::wstring Name(const std::string& suffix, const wchar_t* what) {
    return L"tkv-test-" + std::wstring(suffix.begin(), suffix.end()) + L"-" + what;
}

// Runs this test program again as the peer process, with `suffix` naming the objects.
pid_t SpawnPeer(const std::string& suffix) {
    const std::string variable = std::string(kPeerVariable) + "=" + suffix;
    std::string filter = "--gtest_filter=NamedPeer.ActsAsTheOtherProcess";
    char* argv[] = {const_cast<char*>("named_objects_test"), filter.data(), nullptr};
    std::vector<char*> env;
    for (char** e = environ; *e != nullptr; ++e) {
        env.push_back(*e);
    }
    env.push_back(const_cast<char*>(variable.c_str()));
    env.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv, env.data()) != 0) {
        return -1;
    }
    return pid;
}

int ExitStatus(pid_t pid) {
    int status = 0;
    return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

// The other process of NamedAcrossProcesses; it does nothing when run on its own.
TEST(NamedPeer, ActsAsTheOtherProcess) {
    const char* suffix = std::getenv(kPeerVariable);
    if (suffix == nullptr) {
        GTEST_SKIP() << "run by NamedAcrossProcesses only";
    }
    HANDLE ready = OpenEventW(EVENT_ALL_ACCESS, FALSE, Name(suffix, L"ready").c_str());
    ASSERT_NE(ready, nullptr);
    HANDLE go = CreateEventW(nullptr, FALSE, FALSE, Name(suffix, L"go").c_str());
    ASSERT_NE(go, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    HANDLE mutex = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, Name(suffix, L"mutex").c_str());
    ASSERT_NE(mutex, nullptr);

    ASSERT_EQ(WaitForSingleObject(mutex, 10000), WAIT_OBJECT_0);
    ASSERT_TRUE(SetEvent(ready));
    ASSERT_EQ(WaitForSingleObject(go, 10000), WAIT_OBJECT_0);
    // Wait-all over a mutex this thread already owns and the auto-reset event, set again.
    ASSERT_EQ(WaitForSingleObject(go, 0), WAIT_TIMEOUT);
    ASSERT_TRUE(SetEvent(ready));
    const HANDLE both[] = {go, mutex};
    ASSERT_EQ(WaitForMultipleObjects(2, both, TRUE, 10000), WAIT_OBJECT_0);
    ASSERT_TRUE(ReleaseMutex(mutex));  // one level of two
    ASSERT_TRUE(SetEvent(ready));
    // The process ends owning the mutex: the parent finds it abandoned.
}

TEST(NamedAcrossProcesses, EventsAndMutexesWorkFromTheOtherProcess) {
    const std::string suffix = std::to_string(::getpid());
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, Name(suffix, L"ready").c_str());
    HANDLE go = CreateEventW(nullptr, FALSE, FALSE, Name(suffix, L"go").c_str());
    HANDLE mutex = CreateMutexW(nullptr, FALSE, Name(suffix, L"mutex").c_str());
    HANDLE local = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(mutex, nullptr);
    const pid_t peer = SpawnPeer(suffix);
    ASSERT_GT(peer, 0);

    const HANDLE localOrReady[] = {local, ready};
    EXPECT_EQ(WaitForMultipleObjects(2, localOrReady, FALSE, 10000), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_TIMEOUT);  // the peer owns it
    EXPECT_FALSE(ReleaseMutex(mutex));
    EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
    ResetEvent(ready);
    SetEvent(go);
    EXPECT_EQ(WaitForSingleObject(ready, 10000), WAIT_OBJECT_0);
    ResetEvent(ready);
    SetEvent(go);
    EXPECT_EQ(WaitForSingleObject(ready, 10000), WAIT_OBJECT_0);

    EXPECT_EQ(WaitForSingleObject(mutex, 10000), WAIT_ABANDONED_0);
    EXPECT_EQ(ExitStatus(peer), 0);
    EXPECT_TRUE(ReleaseMutex(mutex));
    const HANDLE readyAndMutex[] = {ready, mutex};
    EXPECT_EQ(WaitForMultipleObjects(2, readyAndMutex, TRUE, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(mutex));
    for (HANDLE h : {ready, go, mutex, local}) {
        CloseHandle(h);
    }
}

TEST(NamedAcrossProcesses, LastCloseRemovesTheName) {
    const std::wstring name = Name(std::to_string(::getpid()), L"gone");
    const std::string file = "/dev/shm/tkv-" + std::to_string(::getuid()) + "-tkv-test-" +
                             std::to_string(::getpid()) + "-gone";
    HANDLE first = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
    HANDLE second = OpenEventW(EVENT_ALL_ACCESS, FALSE, name.c_str());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(::access(file.c_str(), F_OK), 0);
    CloseHandle(first);
    EXPECT_EQ(::access(file.c_str(), F_OK), 0);
    CloseHandle(second);
    EXPECT_NE(::access(file.c_str(), F_OK), 0);
    EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, name.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(NamedAcrossProcesses, NamesTooLongAreRefused) {
    const std::wstring name(300, L'n');
    EXPECT_EQ(CreateEventW(nullptr, TRUE, FALSE, name.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(OpenMutexW(SYNCHRONIZE, FALSE, name.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
}

TEST(NamedAcrossProcesses, LocalSignalWakesAWaitThatAlsoWatchesANamedObject) {
    HANDLE named =
        CreateEventW(nullptr, FALSE, FALSE, Name(std::to_string(::getpid()), L"mixed").c_str());
    HANDLE local = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::thread setter([&] {
        Sleep(30);
        SetEvent(local);
    });
    const HANDLE both[] = {named, local};
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 10000), WAIT_OBJECT_0 + 1);
    setter.join();
    // Wait-all takes neither while one is missing, then both at once.
    SetEvent(named);
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 20), WAIT_TIMEOUT);
    SetEvent(local);
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(named, 0), WAIT_TIMEOUT);
    CloseHandle(named);
    CloseHandle(local);
}
