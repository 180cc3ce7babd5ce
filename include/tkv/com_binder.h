// CCOMBinder ties a thread's COM initialisation to an object's life: place one on the stack of
// a thread that uses the XML classes; its destructor undoes a successful initialisation.
#ifndef TKV_COM_BINDER_H
#define TKV_COM_BINDER_H

#include "tkv/dom.h"
#include "tkv/export.h"

namespace TKV {

class TKV_API CCOMBinder {
  public:
    // The single-threaded apartment model.
    CCOMBinder();
    // The caller's COINIT flags, passed on unchanged.
    explicit CCOMBinder(unsigned long flags);
    ~CCOMBinder();
    // Copies the recorded result only; no COM call.
    CCOMBinder& operator=(const CCOMBinder& other);
    CCOMBinder(const CCOMBinder&) = delete;

  private:
    HRESULT result;
};

}  // namespace TKV

#endif  // TKV_COM_BINDER_H
