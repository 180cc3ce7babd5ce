// Umbrella header: an agent includes this one file and sees the library's whole interface.
#ifndef TKV_TKVAGENT_H
#define TKV_TKVAGENT_H

#include "tkv/base64.h"
#include "tkv/bit_mask.h"
#include "tkv/buffer.h"
#include "tkv/client_socket.h"
#include "tkv/com_binder.h"
#include "tkv/diagnostics.h"
#include "tkv/dom.h"
#include "tkv/environment.h"
#include "tkv/export.h"
#include "tkv/heap.h"
#include "tkv/lock.h"
#include "tkv/memory.h"
#include "tkv/pv_sync.h"
#include "tkv/resource_strings.h"
#include "tkv/search_query.h"
#include "tkv/server_socket.h"
#include "tkv/socket.h"
#include "tkv/socket_msg.h"
#include "tkv/socket_msg_receiver.h"
#include "tkv/socket_util.h"
#include "tkv/string.h"
#include "tkv/string_functions.h"
#include "tkv/system_text.h"
#include "tkv/thread_registry.h"
#include "tkv/tmp_string.h"
#include "tkv/winapi.h"
#include "tkv/winsock.h"

#endif  // TKV_TKVAGENT_H
