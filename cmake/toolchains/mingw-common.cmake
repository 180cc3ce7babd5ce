# Shared by the mingw-w64 toolchain files; TKV_MINGW_TRIPLE names the target before inclusion.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TKV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TKV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TKV_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TKV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The compiler's runtime (libgcc, libstdc++, winpthread) goes into every DLL and program, so
# they run wherever they are copied (and under Wine) with no runtime DLLs to find beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${CMAKE_EXE_LINKER_FLAGS_INIT}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${CMAKE_EXE_LINKER_FLAGS_INIT}")
