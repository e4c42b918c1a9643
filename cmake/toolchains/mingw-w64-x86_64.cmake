# Cross-build for 64-bit Windows with MinGW-w64 (posix threads, for std::thread) and run
# the test programs under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VUZ_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VUZ_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VUZ_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VUZ_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VUZ_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Self-contained programs: no MinGW runtime DLLs to copy beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
