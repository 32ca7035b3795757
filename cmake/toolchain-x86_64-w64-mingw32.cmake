# Cross build for Windows with MinGW-w64 (posix threads flavour).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(UPD_TRIPLE x86_64-w64-mingw32)

find_program(CMAKE_C_COMPILER NAMES ${UPD_TRIPLE}-gcc-posix ${UPD_TRIPLE}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${UPD_TRIPLE}-g++-posix ${UPD_TRIPLE}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${UPD_TRIPLE}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${UPD_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything we ship or run under Wine links the runtime statically, so that
# only Windows system DLLs are imported.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# zlib too: the import library of zlib1.dll would otherwise be found first.
set(ZLIB_USE_STATIC_LIBS ON)

set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh")
