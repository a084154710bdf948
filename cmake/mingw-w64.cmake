# Windows with MinGW-w64: -DQR47_WINDOWS_ARCH=x86_64 (the default) or i686, the 32-bit module
# hosts have always loaded. The runtime is linked statically, so the module needs nothing beyond
# the system's own DLLs.
set(QR47_WINDOWS_ARCH x86_64 CACHE STRING "x86_64 or i686")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QR47_WINDOWS_ARCH)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QR47_WINDOWS_ARCH})
# The POSIX thread model: the control surface uses std::mutex, which the win32 model of this
# GCC lacks. Its thread library is linked statically like the rest of the runtime.
set(CMAKE_C_COMPILER ${QR47_WINDOWS_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${QR47_WINDOWS_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${QR47_WINDOWS_ARCH}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QR47_WINDOWS_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
if(QR47_WINDOWS_ARCH STREQUAL "i686")
  # SSE2 arithmetic rather than x87, so that results match the other builds bit for bit.
  set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
  set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
endif()
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(QR47_BUILD_APP OFF CACHE BOOL "")
set(QR47_BUILD_BENCHMARKS OFF CACHE BOOL "")
