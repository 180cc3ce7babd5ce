// The smallest agent-side program: links the library and reports what it did.
#include <cstdio>

#include <tkv/tkvagent.h>

int main() {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    std::printf("last error round-trip: %lu\n", GetLastError());
    return 0;
}
