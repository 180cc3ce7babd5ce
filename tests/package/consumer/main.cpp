// An agent-side program built against the installed library with nothing but its one header.
#include <cstdio>

#include <tkv/tkvagent.h>

int main() {
    TKV::CLock lock;
    lock.Lock();
    const bool held = lock.HaveLock();
    lock.Unlock();
    HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    const bool signalled = WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
    CloseHandle(event);
    if (!held || !signalled) {
        std::puts("consumer: interface misbehaved");
        return 1;
    }
    std::puts("consumer: ok");
    return 0;
}
