#!/usr/bin/env bash
# Compares the Windows DLL's exports with the Linux shared library's: both must offer the same
# interface. Names are compared demangled, with the spellings that differ only by platform made
# alike (the C library's FILE, the socket address structure, the counted DOM pointers, names the
# system's headers turn into their wide twin, the 32-bit stdcall decoration of WINAPI, size_t
# spelled as each target's unsigned type of pointer size). Allowed differences, each for a reason:
#   - C-named calls without the TKV prefix (GetLastError, CreateThread, SysAllocString ...): the
#     Linux library implements the Windows services, on Windows the system's DLLs export them;
#   - TKVSetResourceString, TKVClearResourceStrings: Windows modules carry their own string
#     tables;
#   - typeinfo names, and the typeinfo of _com_error: Windows compares type information by name,
#     and _com_error is the system header's class;
#   - on Linux, the explicit instantiations of the class templates also export the members
#     defined inline in the header (agents compile those themselves); the DLL does not;
#   - on Windows, the interfaces agents implement (ISOListener, ISOReceiver) export their
#     typeinfo and virtual table.
# Usage: tools/windows_exports.sh [libtkvagent.so [tkvagent.dll]]
#        (defaults: build/libtkvagent.so and build-win64/bin/tkvagent.dll)
set -euo pipefail
cd "$(dirname "$0")/.."
so=${1:-build/libtkvagent.so}
dll=${2:-build-win64/bin/tkvagent.dll}
objdump=x86_64-w64-mingw32-objdump size_t="unsigned long long"
file -L "$dll" | grep -q 'PE32 ' && objdump=i686-w64-mingw32-objdump size_t="unsigned int"

normalise() {
    c++filt | sed -E \
        -e 's/_iobuf\*/_IO_FILE*/g' \
        -e 's/_SOCKET_ADDRESS/SOCKET_ADDRESS/g' \
        -e 's/_com_ptr_t<_com_IIID_getter<([A-Za-z0-9_]+), [^>]*> >/_com_ptr_t<\1>/g' \
        -e 's/::GetAddrInfoW\(/::GetAddrInfo(/' \
        -e 's/@[0-9]+$//' -e 's/ ?(__)?stdcall//g' |
        sort -u
}

linux_raw=$(nm -D --defined-only "$so" | awk '{print $3}')
windows_raw=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    awk '/^\t\[ *[0-9]+\]/ {print $NF}')
linux=$(echo "$linux_raw" | grep '^_Z' | grep -v -E '^_ZTS|^_ZTI10_com_error$' | normalise)
windows=$(echo "$windows_raw" | grep '^_Z' | normalise |
    grep -v -E '^(typeinfo|vtable) for TKV::(ISOListener|ISOReceiver)$' || true)
linux_c=$(echo "$linux_raw" | grep -E '^TKV' |
    grep -v -E '^(TKVSetResourceString|TKVClearResourceStrings)$' | sort -u)
windows_c=$(echo "$windows_raw" | grep -v '^_Z' | sort -u)

# Members of the template instantiations the DLL lacks must be defined in the header.
missing=$(comm -23 <(echo "$linux") <(echo "$windows"))
extra=$(comm -13 <(echo "$linux") <(echo "$windows"))
unexplained=""
while IFS= read -r name; do
    [ -z "$name" ] && continue
    # size_t is unsigned long here and the pointer-sized unsigned type there.
    as_windows=$(echo "$name" | sed -E "s/unsigned long([,)])/${size_t}\1/g")
    if [ "$as_windows" != "$name" ] && grep -qxF "$as_windows" <<<"$extra"; then
        extra=$(grep -vxF "$as_windows" <<<"$extra" || true)
        continue
    fi
    if [[ "$name" =~ ^TKV::(CBuffer|CSearchQuery)\<(char|wchar_t)\>::([A-Za-z_]+[^\(]*)\( ]]; then
        member=${BASH_REMATCH[3]}
        header=include/tkv/$( [ "${BASH_REMATCH[1]}" = CBuffer ] && echo buffer.h || echo search_query.h)
        # The header spells the character type as T.
        member=$(echo "$member" | sed -E 's/\b(wchar_t|char)\b/T/g; s/\*/\\*/g')
        grep -q -E "${member}\(.*\)( const)? \{" "$header" && continue
    fi
    unexplained+="  missing: $name"$'\n'
done <<<"$missing"
[ -n "$extra" ] && unexplained+=$(echo "$extra" | sed 's/^/  extra: /')$'\n'
cmissing=$(comm -3 <(echo "$linux_c") <(echo "$windows_c"))
[ -n "$cmissing" ] && unexplained+=$(echo "$cmissing" | sed 's/^/  C name: /')$'\n'

if [ -n "$unexplained" ]; then
    echo "the exports of $dll differ from $so:"
    printf '%s' "$unexplained"
    exit 1
fi
echo "$dll: $(echo "$windows_raw" | wc -l) exports, the interface of $so ($(echo "$windows" | wc -l) C++ names, $(echo "$windows_c" | wc -l) C names)"
