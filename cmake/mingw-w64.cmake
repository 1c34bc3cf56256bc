# Cross toolchain for the windows builds: mingw-w64 with the POSIX thread model (GoogleTest and
# std::mutex need it), static C and C++ runtimes so the exe needs no DLLs beyond Windows' own.
# XQV_WIN_ARCH picks i686 (the shipped 32-bit product) or x86_64 (the build the tests run).
set(CMAKE_SYSTEM_NAME Windows)
if(NOT XQV_WIN_ARCH)
  set(XQV_WIN_ARCH i686)
endif()
set(XQV_WIN_ARCH ${XQV_WIN_ARCH} CACHE STRING "mingw-w64 target: i686 or x86_64")
set(CMAKE_SYSTEM_PROCESSOR ${XQV_WIN_ARCH})
set(_triple ${XQV_WIN_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# What ships carries no symbols.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
set(CMAKE_SHARED_LINKER_FLAGS_RELEASE_INIT "-s")
