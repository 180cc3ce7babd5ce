// Loading and walking a document through CXml against libxml2 used directly, and attribute
// lookup through the tag's sorted cache against a linear scan. Peak memory of a load and walk
// is measured in a child process, so that each figure starts from the same heap.
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <malloc.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "tkv/xml.h"

namespace {

// glibc hands large blocks back to the system (mapped blocks at once, the heap's top above a
// threshold), so a benchmark paid a page fault per page of every large block, and more after
// another benchmark had shrunk the heap. Without mapped blocks and without trimming, every
// benchmark reuses the heap its earlier iterations grew.
// TKV_BENCH_GLIBC_HEAP=1 leaves glibc's own policy (run one benchmark per process then).
struct SteadyHeap {
    SteadyHeap() {
        if (getenv("TKV_BENCH_GLIBC_HEAP") != nullptr)
            return;
        mallopt(M_MMAP_MAX, 0);
        mallopt(M_TRIM_THRESHOLD, -1);
    }
} steadyHeap;

// Many small elements with attributes and text, about `bytes` long.
const std::string& Document(size_t bytes) {
    static std::string cached;
    if (cached.size() / (1 << 20) != bytes / (1 << 20)) {
        cached = "<items>";
        for (size_t i = 0; cached.size() < bytes; ++i) {
            std::string n = std::to_string(i);
            cached += "<item id=\"" + n + "\" name=\"item" + n + "\" kind=\"k" +
                      std::to_string(i % 7) + "\">text " + n + "</item>\n";
        }
        cached += "</items>";
    }
    return cached;
}

std::wstring Wide(const std::string& s) {
    return std::wstring(s.begin(), s.end());
}

size_t WalkOurs(TKV::CXMLTag* tag) {
    size_t seen = 1;
    if (const wchar_t* v = tag->GetValue())
        seen += v[0] != 0;
    for (const wchar_t* name : {L"id", L"name", L"kind"})
        if (TKV::CXMLAttribute* a = tag->GetAttribute(name))
            seen += a->GetValue() != nullptr;
    for (TKV::CXMLTag* child = tag->FirstTag(); child != nullptr; child = tag->NextTag())
        seen += WalkOurs(child);
    return seen;
}

size_t WalkLibxml2(xmlNodePtr node) {
    size_t seen = 0;
    for (; node != nullptr; node = node->next) {
        ++seen;
        xmlChar* text = xmlNodeGetContent(node);
        seen += text != nullptr && text[0] != 0;
        xmlFree(text);
        for (xmlAttrPtr a = node->properties; a != nullptr; a = a->next) {
            xmlChar* v = xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(a));
            seen += v != nullptr;
            xmlFree(v);
        }
        if (node->type == XML_ELEMENT_NODE)
            seen += WalkLibxml2(node->children);
    }
    return seen;
}

size_t RunOurs(const std::wstring& text) {
    TKV::CXml xml;
    if (!xml.LoadXML(text.c_str()))
        return 0;
    return WalkOurs(xml.GetRoot());
}

size_t RunLibxml2(const std::string& text) {
    xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, "UTF-8",
                                  XML_PARSE_NONET | XML_PARSE_NOBLANKS);
    size_t seen = WalkLibxml2(xmlDocGetRootElement(doc));
    xmlFreeDoc(doc);
    return seen;
}

void BM_LoadWalk_Ours(benchmark::State& state) {
    std::wstring text = Wide(Document(state.range(0) << 20));
    for (auto _ : state)
        benchmark::DoNotOptimize(RunOurs(text));
    state.SetBytesProcessed(state.iterations() * (state.range(0) << 20));
}

void BM_LoadWalk_Libxml2(benchmark::State& state) {
    const std::string& text = Document(state.range(0) << 20);
    for (auto _ : state)
        benchmark::DoNotOptimize(RunLibxml2(text));
    state.SetBytesProcessed(state.iterations() * (state.range(0) << 20));
}

long RssKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return atol(line.c_str() + strlen(field));
    return 0;
}

// The peak resident memory the run adds, in MiB, measured in a fresh child.
template <class F>
double PeakMiB(F run) {
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    pid_t pid = fork();
    if (pid == 0) {
        // Free pages the parent's earlier runs left resident would hide the run's own growth.
        malloc_trim(0);
        std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts from now
        long before = RssKiB("VmRSS:");
        benchmark::DoNotOptimize(run());
        double mib = (RssKiB("VmHWM:") - before) / 1024.0;
        (void)!write(fds[1], &mib, sizeof mib);
        _exit(0);
    }
    double mib = -1;
    (void)!read(fds[0], &mib, sizeof mib);
    waitpid(pid, nullptr, 0);
    close(fds[0]);
    close(fds[1]);
    return mib;
}

void BM_PeakMemory_Ours(benchmark::State& state) {
    std::wstring text = Wide(Document(state.range(0) << 20));
    for (auto _ : state)
        state.counters["peak_MiB"] = PeakMiB([&] { return RunOurs(text); });
}

void BM_PeakMemory_Libxml2(benchmark::State& state) {
    const std::string& text = Document(state.range(0) << 20);
    for (auto _ : state)
        state.counters["peak_MiB"] = PeakMiB([&] { return RunLibxml2(text); });
}

// A tag with 1000 attributes a0 ... a999; lookups cycle through all names.
std::wstring WideAttributes() {
    std::wstring xml = L"<t";
    for (int i = 0; i < 1000; ++i)
        xml += L" a" + std::to_wstring(i) + L"=\"" + std::to_wstring(i) + L"\"";
    return xml + L"/>";
}

void BM_AttributeLookup_Cache(benchmark::State& state) {
    TKV::CXml xml(WideAttributes().c_str());
    std::vector<std::wstring> names;
    for (int i = 0; i < 1000; ++i)
        names.push_back(L"a" + std::to_wstring((i * 7919) % 1000));
    TKV::CXMLTag* tag = xml.GetRoot();
    for (const auto& n : names)
        tag->GetAttribute(n.c_str());  // warm: every name cached
    size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(tag->GetAttribute(names[i++ % 1000].c_str()));
}

void BM_AttributeLookup_LinearScan(benchmark::State& state) {
    const std::wstring wide = WideAttributes();  // one object: both iterators must be its own
    std::string text(wide.begin(), wide.end());
    xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, "UTF-8", 0);
    xmlNodePtr tag = xmlDocGetRootElement(doc);
    std::vector<std::string> names;
    for (int i = 0; i < 1000; ++i)
        names.push_back("a" + std::to_string((i * 7919) % 1000));
    size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(xmlHasProp(tag, BAD_CAST names[i++ % 1000].c_str()));
    xmlFreeDoc(doc);
}

}  // namespace

BENCHMARK(BM_LoadWalk_Ours)->Arg(1)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadWalk_Libxml2)->Arg(1)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeakMemory_Ours)->Arg(1)->Arg(64)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeakMemory_Libxml2)->Arg(1)->Arg(64)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AttributeLookup_Cache);
BENCHMARK(BM_AttributeLookup_LinearScan);
