# Cross build for 64-bit Windows with Debian's mingw-w64 (the posix thread
# model, which std::thread needs). Programs are linked statically: wine finds
# no libstdc++/libgcc DLLs beside them otherwise.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TILLGATE_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TILLGATE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TILLGATE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TILLGATE_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TILLGATE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests run under wine; Debian keeps the 64-bit loader off the PATH.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(TILLGATE_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
  if(NOT TILLGATE_WINE64)
    find_program(TILLGATE_WINE64 NAMES wine64 wine)
  endif()
  if(TILLGATE_WINE64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TILLGATE_WINE64})
  endif()
endif()
