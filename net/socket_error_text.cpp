// The English sentences for Winsock error numbers, as agents show them and match on them.
#include "platform/winsock_error_text.h"
#include "tkv/socket_util.h"

namespace TKV {

const wchar_t* CSocketUtil::PrintSocketError(int error) {
    const wchar_t* text = platform::WinsockErrorText(error);
    return text != nullptr ? text : L"Unknown socket error";
}

}  // namespace TKV
