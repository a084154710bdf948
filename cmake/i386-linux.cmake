# 32-bit x86 Linux with SSE2 arithmetic, so that results match the 64-bit build bit for bit.
# Tests run under qemu-i386.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i386)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
# The engine keeps 16-byte vectors on the stack; a host built to the older convention calls with
# only 4-byte alignment, so functions that need more realign the stack themselves.
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386)
# The distribution's GoogleTest libraries are 64-bit: build it from its sources.
set(QR47_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build")
set(QR47_BUILD_APP OFF CACHE BOOL "")
set(QR47_BUILD_BENCHMARKS OFF CACHE BOOL "")
