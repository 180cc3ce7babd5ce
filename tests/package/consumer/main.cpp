// An agent-side program built against the installed library with nothing but its one header.
#include <cstdio>

#include <tkv/tkvagent.h>

int main() {
    TKV::CLock lock;
    lock.Lock();
    const bool held = lock.HaveLock();
    lock.Unlock();
    HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    bool signalled = WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
    CloseHandle(event);
    // The text templates link from their exported instantiations.
    TKV::CBuffer<wchar_t> text(L"one two");
    TKV::CSearchQuery<wchar_t> term;
    term.SetTerm(L"two", 0, false);
    if (text.Search(0, term) != 1) {
        signalled = false;
    }
    if (!held || !signalled) {
        std::puts("consumer: interface misbehaved");
        return 1;
    }
    std::puts("consumer: ok");
    return 0;
}
