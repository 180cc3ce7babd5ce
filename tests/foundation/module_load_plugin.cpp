// A plug-in of the load test: linked against the shared library like any agent, loaded and
// unloaded with it at run time. It touches every piece of process-wide state the library keeps.
#include <string>

#include "tkv/tkvagent.h"

#include "host.h"  // after the interface, which brings the system headers in their order

TKV_TEST_EXPORT int ExerciseLibrary(const wchar_t* log, int round) {
    int failures = 0;
    wchar_t* text = nullptr;
    failures += TKV::TKVGetTmpString(text, 100) != 1;
    const std::wstring wide(700, L'w');
    failures += TKV::StrFormat(L"%s%d", wide.c_str(), round) == nullptr;
    failures += !TKVOpenTraceLog(log);
    TKV::EnableLogging(true, 0);
    TKVTrace(L"round %d", round);
    const unsigned char bytes[] = {1, 2, 3};
    TKV::LogHex(L"bytes", bytes, sizeof bytes);
    TKVCloseTraceLog();
    TKV::RegisterThread(77, nullptr);
    failures += TKV::StrConvert("caf\xe9", 1252) == nullptr;
    failures += CreateMutexW(nullptr, TRUE, nullptr) == nullptr;  // owned by this thread, left open
    failures += CreateEventW(nullptr, TRUE, FALSE, nullptr) == nullptr;
    {
        TKV::CCOMBinder com;
        TKV::CXml xml(L"<a x='1'><b y='2'>text</b></a>");
        TKV::CXMLAttribute* y = xml.FindAttributeV(L"a", L"b", L"y", nullptr);
        failures += y == nullptr || std::wstring(y->GetValue()) != L"2";
        const std::wstring longText(600000, L't');
        failures += !xml.LoadXML((L"<a>" + longText + L"</a>").c_str());
        failures += xml.GetRoot() == nullptr || xml.GetRoot()->GetValue() == nullptr;
    }
    return failures;
}
