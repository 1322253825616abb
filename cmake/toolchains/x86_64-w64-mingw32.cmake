# Cross-compiles the Windows (x64) build with Debian's mingw-w64 compilers (the POSIX thread
# variant, whose C++ library has std::thread and std::mutex). Libraries and headers
# come only from the mingw-w64 tree and the build's own dependency prefix (static expat and
# GoogleTest), never from the Linux system.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
# PRAVELL_DEPENDENCIES is the prefix that scripts/windows installs the static expat and GoogleTest
# into; it is searched as a root of its own.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${PRAVELL_DEPENDENCIES})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
