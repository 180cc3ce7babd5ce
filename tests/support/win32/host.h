// What the tests ask of the system they run on, here on Windows (posix/host.h has the same).
#ifndef TKV_TESTS_SUPPORT_HOST_H
#define TKV_TESTS_SUPPORT_HOST_H

#include <string>

#include "platform/com.h"
#include "tkv/winsock.h"

namespace TKV::test {

// The system hands closed handle values out again: a wait on one may find another object.
constexpr bool kClosedHandlesStayInvalid = false;

// Through the system's own environment, the one GetEnvironmentVariableW reads.
inline void SetVariable(const char* name, const char* utf8Value) {
    wchar_t value[4096];
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8Value, -1, value, 4096);
    SetEnvironmentVariableA(name, nullptr);
    if (n > 0) {
        SetEnvironmentVariableW(
            std::wstring(name, name + std::char_traits<char>::length(name)).c_str(), value);
    }
}
inline void UnsetVariable(const char* name) {
    SetEnvironmentVariableA(name, nullptr);
}

// Sockets are handles here: the process's handle count stands in for its descriptors.
inline int CountOpenDescriptors() {
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return static_cast<int>(count);
}

inline bool IsInheritedByChildren(SOCKET s) {
    DWORD flags = 0;
    return GetHandleInformation(reinterpret_cast<HANDLE>(s), &flags) &&
           (flags & HANDLE_FLAG_INHERIT) != 0;
}

// The system keeps the count to itself: each level is undone until the thread has none, then
// done again in the same model (the tests hold no COM object while they count).
inline bool HasApartment(APTTYPE& type) {
    APTTYPEQUALIFIER qualifier;
    // A thread that never initialised COM is reported in the process's implicit MTA.
    return SUCCEEDED(CoGetApartmentType(&type, &qualifier)) &&
           qualifier != APTTYPEQUALIFIER_IMPLICIT_MTA;
}

inline int ComApartmentCount() {
    APTTYPE type;
    if (!HasApartment(type)) {
        return 0;
    }
    const DWORD model = type == APTTYPE_MTA ? COINIT_MULTITHREADED : COINIT_APARTMENTTHREADED;
    int count = 0;
    for (; count < 100 && HasApartment(type); ++count) {
        CoUninitialize();
    }
    for (int i = 0; i < count; ++i) {
        CoInitializeEx(nullptr, model);
    }
    return count;
}

// The system's document classes stay registered: there is no fallback to provoke.
inline bool HideComClass(const wchar_t*) {
    return false;
}
inline void RestoreComClasses() {}

// System texts are the system's own words (Wine's differ from Windows'): one sentence ending
// in CR LF, whatever the words.
template <typename C>
bool IsSystemSentence(const C* text) {
    const std::basic_string<C> s = text != nullptr ? text : std::basic_string<C>();
    return s.size() > 3 && s.compare(s.size() - 2, 2, std::basic_string<C>{'\r', '\n'}) == 0 &&
           s.find(C('\n')) == s.size() - 1;
}

// Loading a module at run time, through the system's loader.
inline void* LoadModule(const char* path) {
    return LoadLibraryA(path);
}
inline void* ModuleSymbol(void* module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}
inline bool UnloadModule(void* module) {
    return FreeLibrary(static_cast<HMODULE>(module)) != 0;
}
// Whether the module is mapped in the process still; never loads it.
inline bool IsModuleLoaded(const char* path) {
    return GetModuleHandleA(path) != nullptr;
}

}  // namespace TKV::test

#define EXPECT_SYSTEM_TEXT(text, windowsWords) EXPECT_TRUE(TKV::test::IsSystemSentence(text))

#define TKV_TEST_EXPORT extern "C" __declspec(dllexport)

#endif  // TKV_TESTS_SUPPORT_HOST_H
