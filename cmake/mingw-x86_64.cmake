# Cross toolchain for the 64-bit build of the same program, for running the
# tests where Wine runs only 64-bit programs.
set(PALLODEX_MINGW x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
