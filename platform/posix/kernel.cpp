// The handle table and object lifetimes.
#include "platform/posix/kernel.h"

#include <atomic>
#include <new>
#include <set>

#include "platform/posix/shared_objects.h"
#include "platform/share_handle.h"

namespace TKV::platform::detail {
namespace {

// A handle value packs the slot index (low bits, shifted past two zero bits like the handles
// agents know) with the slot's generation, so a stale value never matches a reused slot.
constexpr unsigned kIndexBits = 20;
constexpr std::uint32_t kMaxSlots = (1u << kIndexBits) - 1;

std::atomic<Kernel*> g_kernel{nullptr};

HANDLE Encode(std::uint32_t index, std::uint64_t generation) {
    const std::uintptr_t value = (static_cast<std::uintptr_t>(generation) << (kIndexBits + 2)) |
                                 (static_cast<std::uintptr_t>(index + 1) << 2);
    return reinterpret_cast<HANDLE>(value);
}

bool Decode(const Kernel& kernel, HANDLE handle, std::uint32_t* index) {
    const std::uintptr_t value = reinterpret_cast<std::uintptr_t>(handle);
    if ((value & 3) != 0) {
        return false;
    }
    const std::uintptr_t slotPlusOne = (value >> 2) & kMaxSlots;
    if (slotPlusOne == 0 || slotPlusOne > kernel.slots.size()) {
        return false;
    }
    const Kernel::Slot& slot = kernel.slots[slotPlusOne - 1];
    if (slot.object == nullptr ||
        Encode(static_cast<std::uint32_t>(slotPlusOne - 1), slot.generation) != handle) {
        return false;
    }
    *index = static_cast<std::uint32_t>(slotPlusOne - 1);
    return true;
}

}  // namespace

Kernel& TheKernel() {
    Kernel* kernel = g_kernel.load(std::memory_order_acquire);
    if (kernel != nullptr)
        return *kernel;
    auto* made = new Kernel;
    if (!g_kernel.compare_exchange_strong(kernel, made, std::memory_order_acq_rel)) {
        delete made;
        return *kernel;
    }
    return *made;
}

void ReleaseKernel() {
    Kernel* kernel = g_kernel.load(std::memory_order_acquire);
    if (kernel == nullptr)
        return;
    std::set<KernelObject*> open;
    for (const Kernel::Slot& slot : kernel->slots)
        if (slot.object != nullptr)
            open.insert(slot.object);
    // A mutex leaves the kernel's list as it is destroyed, so the kernel goes last.
    for (KernelObject* object : open)
        delete object;
    g_kernel.store(nullptr, std::memory_order_release);
    delete kernel;
}

HANDLE NewHandle(Kernel& kernel, KernelObject* object) {
    std::uint32_t index;
    // Keep a reserve of freed slots so a slot is reused only after many others.
    if (kernel.freeSlots.size() > 64 || kernel.slots.size() >= kMaxSlots) {
        if (kernel.freeSlots.empty()) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        index = kernel.freeSlots.front();
        kernel.freeSlots.pop_front();
    } else {
        index = static_cast<std::uint32_t>(kernel.slots.size());
        kernel.slots.emplace_back();
    }
    Kernel::Slot& slot = kernel.slots[index];
    slot.object = object;
    ++object->refs;
    return Encode(index, slot.generation);
}

KernelObject* LookupHandle(Kernel& kernel, HANDLE handle) {
    std::uint32_t index;
    return Decode(kernel, handle, &index) ? kernel.slots[index].object : nullptr;
}

void ReleaseObject(Kernel& kernel, KernelObject* object) {
    if (--object->refs > 0) {
        return;
    }
    if (!object->name.empty()) {
        kernel.names.erase(object->name);
    }
    delete object;
}

KernelObject* LookupKind(Kernel& kernel, HANDLE handle, ObjectKind kind) {
    KernelObject* object = LookupHandle(kernel, handle);
    if (object == nullptr || object->kind != kind) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return object;
}

KernelObject* FindNamed(Kernel& kernel, const wchar_t* name) {
    if (name == nullptr || *name == 0) {
        return nullptr;
    }
    auto it = kernel.names.find(name);
    return it == kernel.names.end() ? nullptr : it->second;
}

void AddName(Kernel& kernel, KernelObject* object, const wchar_t* name) {
    if (name != nullptr && *name != 0) {
        object->name = name;
        kernel.names[object->name] = object;
    }
}

HANDLE AdoptObject(Kernel& kernel, KernelObject* object, const wchar_t* name) {
    HANDLE handle = NewHandle(kernel, object);
    if (handle == nullptr) {
        delete object;
        return nullptr;
    }
    AddName(kernel, object, name);
    return handle;
}

KernelObject* NewShared(ObjectKind kind, const wchar_t* name, bool manualReset, bool initialState,
                        bool* created, DWORD* error) {
    return OpenShared(kind, name, true, manualReset, initialState, created, error);
}

HANDLE OpenNamed(ObjectKind kind, const wchar_t* name) {
    Kernel& kernel = TheKernel();
    std::lock_guard<std::mutex> hold(kernel.lock);
    if (name == nullptr || *name == 0) {
        SetLastError(name == nullptr ? ERROR_INVALID_PARAMETER : ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    KernelObject* object = FindNamed(kernel, name);
    if (object == nullptr) {
        // Not open in this process yet: another process may have created it.
        bool created;
        DWORD error = ERROR_SUCCESS;
        object = OpenShared(kind, name, false, false, false, &created, &error);
        if (object == nullptr) {
            SetLastError(error);
            return nullptr;
        }
        return AdoptObject(kernel, object, name);
    }
    if (object->kind != kind) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return NewHandle(kernel, object);
}

}  // namespace TKV::platform::detail

HANDLE TKV::platform::ShareHandle(HANDLE handle) {
    using namespace TKV::platform::detail;
    Kernel& kernel = TheKernel();
    std::lock_guard<std::mutex> hold(kernel.lock);
    KernelObject* object = LookupHandle(kernel, handle);
    return object != nullptr ? NewHandle(kernel, object) : nullptr;
}

extern "C" BOOL CloseHandle(HANDLE handle) {
    using namespace TKV::platform::detail;
    Kernel& kernel = TheKernel();
    std::lock_guard<std::mutex> hold(kernel.lock);
    std::uint32_t index;
    if (!Decode(kernel, handle, &index)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Kernel::Slot& slot = kernel.slots[index];
    KernelObject* object = slot.object;
    slot.object = nullptr;
    ++slot.generation;
    kernel.freeSlots.push_back(index);
    ReleaseObject(kernel, object);
    return TRUE;
}
