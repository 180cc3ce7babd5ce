// Registered string tables standing in for the string-table resources of a module. The block
// layout is that of a Windows string table with wchar_t units: 16 strings per block, each a
// one-unit length followed by its characters.
#include <cstring>
#include <map>
#include <mutex>
#include <shared_mutex>
#include <string>

#include "platform/system_text.h"
#include "tkv/resource_strings.h"

namespace {

constexpr UINT kStringsPerBlock = 16;
constexpr UINT kMaxId = 0xFFFF;

class StringTables {
  public:
    void Set(HINSTANCE module, UINT id, const wchar_t* text) {
        std::unique_lock<std::shared_mutex> guard(m_lock);
        if (text == nullptr || *text == L'\0') {
            auto table = m_tables.find(module);
            if (table != m_tables.end())
                table->second.erase(id);
            return;
        }
        m_tables[module][id] = text;
    }

    void Clear(HINSTANCE module) {
        std::unique_lock<std::shared_mutex> guard(m_lock);
        m_tables.erase(module);
    }

    bool HasModule(HINSTANCE module) const {
        std::shared_lock<std::shared_mutex> guard(m_lock);
        auto table = m_tables.find(module);
        return table != m_tables.end() && !table->second.empty();
    }

    // Size in wchar_t units of block (1-based), or 0 when no string of it is registered.
    size_t BlockUnits(HINSTANCE module, UINT block) const {
        std::shared_lock<std::shared_mutex> guard(m_lock);
        auto table = m_tables.find(module);
        if (table == m_tables.end() || block == 0)
            return 0;
        const UINT first = (block - 1) * kStringsPerBlock;
        size_t units = kStringsPerBlock;  // every entry's length prefix, present or not
        bool any = false;
        for (auto it = table->second.lower_bound(first);
             it != table->second.end() && it->first < first + kStringsPerBlock; ++it) {
            units += it->second.size();
            any = true;
        }
        return any ? units : 0;
    }

    // Copies string id, cut to count - 1 characters; -1 when it is not registered.
    int Copy(HINSTANCE module, UINT id, wchar_t* buffer, int count) const {
        std::shared_lock<std::shared_mutex> guard(m_lock);
        auto table = m_tables.find(module);
        if (table == m_tables.end())
            return -1;
        auto entry = table->second.find(id);
        if (entry == table->second.end())
            return -1;
        size_t n = entry->second.size();
        if (n > static_cast<size_t>(count - 1))
            n = static_cast<size_t>(count - 1);
        std::wmemcpy(buffer, entry->second.data(), n);
        buffer[n] = L'\0';
        return static_cast<int>(n);
    }

  private:
    mutable std::shared_mutex m_lock;  // guards m_tables
    std::map<HINSTANCE, std::map<UINT, std::wstring>> m_tables;
};

StringTables& Tables() {
    static StringTables tables;
    return tables;
}

uintptr_t IntegerName(LPCWSTR name) {
    return reinterpret_cast<uintptr_t>(name);
}

}  // namespace

extern "C" {

BOOL TKVSetResourceString(HINSTANCE module, UINT id, const wchar_t* text) {
    if (id > kMaxId) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Tables().Set(module, id, text);
    return TRUE;
}

void TKVClearResourceStrings(HINSTANCE module) {
    Tables().Clear(module);
}

}  // extern "C"

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
    if (IntegerName(type) != IntegerName(RT_STRING) || !Tables().HasModule(module)) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    const uintptr_t block = IntegerName(name);
    if (block == 0 || block > kMaxId / kStringsPerBlock + 1 ||
        Tables().BlockUnits(module, static_cast<UINT>(block)) == 0) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    // The handle carries the block number; it is never dereferenced.
    return reinterpret_cast<HRSRC>(block);
}

DWORD SizeofResource(HMODULE module, HRSRC resource) {
    const uintptr_t block = reinterpret_cast<uintptr_t>(resource);
    return static_cast<DWORD>(Tables().BlockUnits(module, static_cast<UINT>(block)) *
                              sizeof(wchar_t));
}

int LoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int count) {
    if (buffer == nullptr || count <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const int n = Tables().Copy(module, id, buffer, count);
    if (n < 0) {
        buffer[0] = L'\0';
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    return n;
}
