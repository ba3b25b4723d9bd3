# Cross build for x86_64 Windows with mingw-w64 (posix threads), statically linked.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TRIPLE}-windres)
set(CMAKE_AR ${TRIPLE}-ar)
set(CMAKE_RANLIB ${TRIPLE}-ranlib)
set(DLLTOOL ${TRIPLE}-dlltool)
set(LITE_ARCH x86_64)

# Dependencies built by scripts/build_deps.sh live beside the system root.
if(DEFINED ENV{LITE_DEPS_ROOT})
  set(LITE_DEPS_PREFIX "$ENV{LITE_DEPS_ROOT}/x86_64")
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${TRIPLE} ${LITE_DEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CTest runs the Windows test programs under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine_exec.sh;x86_64)
