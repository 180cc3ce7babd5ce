// Events: manual-reset events stay signalled until reset and release every waiter;
// auto-reset events release exactly one waiter and reset themselves.
#include <new>

#include "platform/posix/kernel.h"
#include "platform/posix/shared_objects.h"

namespace TKV::platform::detail {
namespace {

class EventObject : public KernelObject {
  public:
    EventObject(bool manualReset, bool signalled)
        : KernelObject(ObjectKind::Event), m_manualReset(manualReset), m_signalled(signalled) {}

    bool Available(DWORD) const override { return m_signalled; }
    bool Acquire(DWORD) override {
        if (!m_manualReset) {
            m_signalled = false;
        }
        return false;
    }
    void Set(bool signalled) { m_signalled = signalled; }

  private:
    const bool m_manualReset;
    bool m_signalled;  // guarded by Kernel::lock, like every object state
};

BOOL SetState(HANDLE handle, bool signalled) {
    Kernel& kernel = TheKernel();
    std::lock_guard<std::mutex> hold(kernel.lock);
    KernelObject* object = LookupKind(kernel, handle, ObjectKind::Event);
    if (object == nullptr) {
        return FALSE;
    }
    if (SharedObject* shared = object->AsShared()) {
        shared->SetSignalled(signalled);
        return TRUE;
    }
    auto* event = static_cast<EventObject*>(object);
    event->Set(signalled);
    if (signalled) {
        SignalObject(event);
    }
    return TRUE;
}

}  // namespace
}  // namespace TKV::platform::detail

extern "C" {

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name) {
    using namespace TKV::platform::detail;
    bool created;
    return CreateOrOpenNamed(
        ObjectKind::Event, name, &created,
        [&]() -> KernelObject* {
            return new (std::nothrow) EventObject(manualReset != FALSE, initialState != FALSE);
        },
        manualReset != FALSE, initialState != FALSE);
}

HANDLE OpenEventW(DWORD, BOOL, LPCWSTR name) {
    return TKV::platform::detail::OpenNamed(TKV::platform::detail::ObjectKind::Event, name);
}

BOOL SetEvent(HANDLE event) {
    return TKV::platform::detail::SetState(event, true);
}

BOOL ResetEvent(HANDLE event) {
    return TKV::platform::detail::SetState(event, false);
}

}  // extern "C"
