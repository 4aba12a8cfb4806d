# Shared by the MinGW-w64 cross toolchains (posix threads); the including file
# sets PALLODEX_MINGW to the target triplet and CMAKE_SYSTEM_PROCESSOR.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${PALLODEX_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PALLODEX_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${PALLODEX_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${PALLODEX_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# MinGW-w64's zlib comes as libz.a and the import library libz.dll.a; the
# program links statically, so take libz.a rather than need zlib1.dll beside it.
set(ZLIB_USE_STATIC_LIBS ON)
