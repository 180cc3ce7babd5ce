#include "tkv/thread_registry.h"

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "kernel_probe.h"
#include "tkv/winapi.h"

using namespace TKV;

namespace {

// A set of worker threads started the way the library starts its own: created suspended,
// registered, resumed; each waits for the gate and deregisters itself as its last act.
class Workers {
  public:
    explicit Workers(int count)
        : m_gate(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          m_allDone(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          m_remaining(count) {
        for (int i = 0; i < count; ++i) {
            DWORD id = 0;
            HANDLE thread = CreateThread(nullptr, 64 * 1024, Run, this, CREATE_SUSPENDED, &id);
            RegisterThread(id, thread);
            ResumeThread(thread);
            ids.push_back(id);
            handles.push_back(thread);
        }
    }
    // Lets the threads end and waits until the last has deregistered.
    ~Workers() {
        Open();
        WaitForSingleObject(m_allDone, INFINITE);
        CloseHandle(m_gate);
        CloseHandle(m_allDone);
        for (HANDLE thread : handles)
            CloseHandle(thread);
    }
    void Open() { SetEvent(m_gate); }
    int Finished() const { return static_cast<int>(ids.size()) - m_remaining; }

    std::vector<unsigned int> ids;
    std::vector<HANDLE> handles;

  private:
    static DWORD WINAPI Run(LPVOID arg) {
        auto* self = static_cast<Workers*>(arg);
        WaitForSingleObject(self->m_gate, INFINITE);
        DeRegisterThread(GetCurrentThreadId());
        HANDLE allDone = self->m_allDone;
        if (--self->m_remaining == 0) {
            SetEvent(allDone);  // the object may be gone after this
        }
        return 0;
    }

    HANDLE m_gate;
    HANDLE m_allDone;
    std::atomic<int> m_remaining;
};

bool IsClosed(HANDLE handle) {
    return !CloseHandle(handle) && GetLastError() == ERROR_INVALID_HANDLE;
}

}  // namespace

TEST(RegisterThread, SecondRegistrationKeepsFirstHandleAndItsAutoResetEvent) {
    HANDLE first = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE second = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    void* notify = RegisterThread(7001, first);
    ASSERT_NE(notify, nullptr);
    EXPECT_EQ(WaitForSingleObject(notify, 0), WAIT_TIMEOUT);  // starts unsignalled
    EXPECT_EQ(RegisterThread(7001, second), notify);
    SetEvent(first);
    EXPECT_EQ(WaitForSingleObject(GetThreadHandle(7001), 0), WAIT_OBJECT_0);  // first's object
    EXPECT_EQ(GetThreadNotify(7001), notify);
    SetEvent(notify);
    EXPECT_EQ(WaitForSingleObject(notify, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(notify, 0), WAIT_TIMEOUT);
    DeRegisterThread(7001);
    CloseHandle(first);
    CloseHandle(second);
}

TEST(DeRegisterThread, ForgetsTheIdAndClosesOnlyItsEvent) {
    HANDLE thread = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    void* notify = RegisterThread(7003, thread);
    DeRegisterThread(7004);  // not registered: nothing changes
    HANDLE own = GetThreadHandle(7003);
    EXPECT_NE(own, nullptr);
    DeRegisterThread(7003);
    EXPECT_TRUE(IsClosed(own));
    EXPECT_EQ(GetThreadHandle(7003), nullptr);
    EXPECT_EQ(GetThreadNotify(7003), nullptr);
    EXPECT_TRUE(IsClosed(notify));
    EXPECT_TRUE(CloseHandle(thread));  // still the caller's
}

TEST(WaitRegisteredThreadsExit, WaitsForThreadsThatDeregisterDuringTheWait) {
    Workers workers(20);
    void* notify = GetThreadNotify(workers.ids[0]);
    std::thread shutdown([] { WaitRegisteredThreadsExit(INFINITE); });
    AwaitWaiters(workers.handles.back(), 1);
    EXPECT_EQ(GetThreadHandle(workers.ids[0]), nullptr);  // emptied before the wait
    workers.Open();
    shutdown.join();
    EXPECT_EQ(workers.Finished(), 20);
    EXPECT_TRUE(IsClosed(notify));
}

TEST(WaitRegisteredThreadsExit, GivingUpAtOnceStillEmptiesTheRegistryAndClosesEverything) {
    const struct {
        const char* label;
        int threads;
        DWORD timeout;
        bool nullHandle;
    } cases[] = {
        {"zero timeout", 5, 0, false},
        {"more than 64 threads", MAXIMUM_WAIT_OBJECTS + 2, INFINITE, false},  // wait refused
        {"a null handle", 2, INFINITE, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Workers workers(c.threads);
        if (c.nullHandle) {
            RegisterThread(7005, nullptr);
        }
        WaitRegisteredThreadsExit(c.timeout);
        EXPECT_EQ(workers.Finished(), 0);
        EXPECT_EQ(GetThreadNotify(7005), nullptr);
        for (size_t i = 0; i < workers.ids.size(); ++i) {
            EXPECT_EQ(GetThreadNotify(workers.ids[i]), nullptr);
        }
    }  // the threads end afterwards and deregister into an empty registry
}

DWORD WINAPI WaitForGate(LPVOID gate) {
    return WaitForSingleObject(gate, INFINITE);
}

TEST(RegisterThread, WaitingWorksAfterTheHolderClosedItsHandle) {
    HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, WaitForGate, gate, 0, &id);
    ASSERT_NE(thread, nullptr);
    RegisterThread(id, thread);
    CloseHandle(thread);
    EXPECT_EQ(WaitForSingleObject(GetThreadHandle(id), 0), WAIT_TIMEOUT);
    SetEvent(gate);
    EXPECT_EQ(WaitForSingleObject(GetThreadHandle(id), INFINITE), WAIT_OBJECT_0);
    DeRegisterThread(id);
    CloseHandle(gate);
}
