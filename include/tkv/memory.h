// The heap, the temporary strings and the system texts together, for agents that include them
// under this one name; each has its own header.
#ifndef TKV_MEMORY_H
#define TKV_MEMORY_H

#include "tkv/heap.h"
#include "tkv/string_functions.h"
#include "tkv/system_text.h"
#include "tkv/tmp_string.h"

#endif  // TKV_MEMORY_H
