// A set/wait round trip between two processes: a pair of named auto-reset events against a
// pair of pipes carrying one byte each way.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "tkv/winapi.h"

namespace {

std::wstring Name(const wchar_t* what) {
    const std::string pid = std::to_string(::getpid());
    return L"tkv-bench-" + std::wstring(pid.begin(), pid.end()) + L"-" + what;
}

void BM_RoundTrip_NamedEvents(benchmark::State& state) {
    const std::wstring pingName = Name(L"ping"), pongName = Name(L"pong");
    HANDLE ping = CreateEventW(nullptr, FALSE, FALSE, pingName.c_str());
    HANDLE pong = CreateEventW(nullptr, FALSE, FALSE, pongName.c_str());
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, Name(L"stop").c_str());
    const pid_t child = ::fork();
    if (child == 0) {
        // The child answers every ping until told to stop; it opens the events by name.
        HANDLE in = OpenEventW(SYNCHRONIZE, FALSE, pingName.c_str());
        HANDLE out = OpenEventW(EVENT_MODIFY_STATE, FALSE, pongName.c_str());
        while (WaitForSingleObject(in, INFINITE) == WAIT_OBJECT_0 &&
               WaitForSingleObject(stop, 0) == WAIT_TIMEOUT) {
            SetEvent(out);
        }
        ::_exit(0);
    }
    for (auto _ : state) {
        SetEvent(ping);
        WaitForSingleObject(pong, INFINITE);
    }
    SetEvent(stop);
    SetEvent(ping);
    ::waitpid(child, nullptr, 0);
    CloseHandle(ping);
    CloseHandle(pong);
    CloseHandle(stop);
}

void BM_RoundTrip_Pipes(benchmark::State& state) {
    int toChild[2], toParent[2];
    if (::pipe(toChild) != 0 || ::pipe(toParent) != 0) {
        state.SkipWithError("pipe");
        return;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        char byte;
        while (::read(toChild[0], &byte, 1) == 1 && byte != 'q') {
            (void)!::write(toParent[1], &byte, 1);
        }
        ::_exit(0);
    }
    char byte = 'p';
    for (auto _ : state) {
        (void)!::write(toChild[1], &byte, 1);
        (void)!::read(toParent[0], &byte, 1);
    }
    byte = 'q';
    (void)!::write(toChild[1], &byte, 1);
    ::waitpid(child, nullptr, 0);
    for (int fd : {toChild[0], toChild[1], toParent[0], toParent[1]}) {
        ::close(fd);
    }
}

}  // namespace

BENCHMARK(BM_RoundTrip_NamedEvents)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RoundTrip_Pipes)->UseRealTime()->Unit(benchmark::kMicrosecond);
