// The library's lock, events and waits beside the standard primitives they stand in for.
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "tkv/lock.h"
#include "tkv/winapi.h"

namespace {

// glibc drops the bus lock from its mutexes while a process has never had a second thread. An
// agent always runs the library's worker threads, so every measurement here is made after one.
const bool kThreaded = [] {
    std::thread([] {}).join();
    return true;
}();

void BM_Lock_CLock(benchmark::State& state) {
    TKV::CLock lock;
    for (auto _ : state) {
        lock.Lock();
        lock.Unlock();
    }
}
BENCHMARK(BM_Lock_CLock);

void BM_Lock_StdRecursiveMutex(benchmark::State& state) {
    std::recursive_mutex mutex;
    for (auto _ : state) {
        mutex.lock();
        mutex.unlock();
    }
}
BENCHMARK(BM_Lock_StdRecursiveMutex);

// A second level taken and released by the thread that already holds the lock.
void BM_LockRecursive_CLock(benchmark::State& state) {
    TKV::CLock lock;
    lock.Lock();
    for (auto _ : state) {
        lock.Lock();
        lock.Unlock();
    }
    lock.Unlock();
}
BENCHMARK(BM_LockRecursive_CLock);

void BM_LockRecursive_StdRecursiveMutex(benchmark::State& state) {
    std::recursive_mutex mutex;
    mutex.lock();
    for (auto _ : state) {
        mutex.lock();
        mutex.unlock();
    }
    mutex.unlock();
}
BENCHMARK(BM_LockRecursive_StdRecursiveMutex);

// Four threads on one lock, each incrementing a shared counter under it (real time per
// increment of all threads together).
template <class Lockable, class Take, class Release>
void Contended(benchmark::State& state, Take take, Release release) {
    static Lockable* shared = nullptr;
    static long counter = 0;
    if (state.thread_index() == 0) {
        shared = new Lockable;
    }
    for (auto _ : state) {
        take(*shared);
        benchmark::DoNotOptimize(++counter);
        release(*shared);
    }
    if (state.thread_index() == 0) {
        delete shared;
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_LockContended_CLock(benchmark::State& state) {
    Contended<TKV::CLock>(
        state, [](TKV::CLock& l) { l.Lock(); }, [](TKV::CLock& l) { l.Unlock(); });
}
BENCHMARK(BM_LockContended_CLock)->Threads(4)->UseRealTime();

void BM_LockContended_StdRecursiveMutex(benchmark::State& state) {
    Contended<std::recursive_mutex>(
        state, [](std::recursive_mutex& m) { m.lock(); },
        [](std::recursive_mutex& m) { m.unlock(); });
}
BENCHMARK(BM_LockContended_StdRecursiveMutex)->Threads(4)->UseRealTime();

// One round trip: this thread sets `ping`, the partner answers on `pong`.
void BM_PingPong_Events(benchmark::State& state) {
    HANDLE ping = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE pong = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    bool stop = false;
    std::thread partner([&] {
        for (;;) {
            WaitForSingleObject(ping, INFINITE);
            if (stop) {
                break;
            }
            SetEvent(pong);
        }
    });
    for (auto _ : state) {
        SetEvent(ping);
        WaitForSingleObject(pong, INFINITE);
    }
    stop = true;
    SetEvent(ping);
    partner.join();
    CloseHandle(ping);
    CloseHandle(pong);
}
BENCHMARK(BM_PingPong_Events)->UseRealTime();

void BM_PingPong_StdConditionVariable(benchmark::State& state) {
    std::mutex mutex;
    std::condition_variable changed;
    int turn = 0;  // 1: the partner's move, 0: ours, -1: stop
    std::thread partner([&] {
        std::unique_lock<std::mutex> hold(mutex);
        for (;;) {
            changed.wait(hold, [&] { return turn != 0; });
            if (turn < 0) {
                break;
            }
            turn = 0;
            changed.notify_one();
        }
    });
    for (auto _ : state) {
        std::unique_lock<std::mutex> hold(mutex);
        turn = 1;
        changed.notify_one();
        changed.wait(hold, [&] { return turn == 0; });
    }
    {
        std::lock_guard<std::mutex> hold(mutex);
        turn = -1;
    }
    changed.notify_one();
    partner.join();
}
BENCHMARK(BM_PingPong_StdConditionVariable)->UseRealTime();

// A wait over 64 handles of which only the last is signalled, against testing them one by one.
struct SixtyFour {
    SixtyFour() {
        for (DWORD i = 0; i < MAXIMUM_WAIT_OBJECTS; ++i) {
            handles.push_back(CreateEventW(nullptr, TRUE, i + 1 == MAXIMUM_WAIT_OBJECTS, nullptr));
        }
    }
    ~SixtyFour() {
        for (HANDLE h : handles) {
            CloseHandle(h);
        }
    }
    std::vector<HANDLE> handles;
};

void BM_Wait64_LastSignalled_Multiple(benchmark::State& state) {
    SixtyFour set;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS, set.handles.data(), FALSE, 0));
    }
}
BENCHMARK(BM_Wait64_LastSignalled_Multiple);

void BM_Wait64_LastSignalled_SingleEach(benchmark::State& state) {
    SixtyFour set;
    for (auto _ : state) {
        for (HANDLE h : set.handles) {
            if (WaitForSingleObject(h, 0) == WAIT_OBJECT_0) {
                break;
            }
        }
    }
}
BENCHMARK(BM_Wait64_LastSignalled_SingleEach);

// The same wait with a thread blocked in it until the last handle is set.
void BM_Wait64_LastSignalled_Blocking(benchmark::State& state) {
    std::vector<HANDLE> handles;
    for (DWORD i = 0; i < MAXIMUM_WAIT_OBJECTS; ++i) {
        handles.push_back(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    }
    HANDLE done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    bool stop = false;
    std::thread waiter([&] {
        for (;;) {
            WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS, handles.data(), FALSE, INFINITE);
            if (stop) {
                break;
            }
            SetEvent(done);
        }
    });
    for (auto _ : state) {
        SetEvent(handles.back());
        WaitForSingleObject(done, INFINITE);
    }
    stop = true;
    SetEvent(handles.back());
    waiter.join();
    for (HANDLE h : handles) {
        CloseHandle(h);
    }
    CloseHandle(done);
}
BENCHMARK(BM_Wait64_LastSignalled_Blocking)->UseRealTime();

}  // namespace
