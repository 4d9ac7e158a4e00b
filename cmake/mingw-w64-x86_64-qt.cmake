# Building Qt itself for MinGW-w64: the project's compilers and search paths without its flags.
# Qt picks its own Windows version and needs the whole of windows.h.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake)
set(CMAKE_C_FLAGS_INIT "")
set(CMAKE_CXX_FLAGS_INIT "")
set(CMAKE_EXE_LINKER_FLAGS_INIT "")
# Qt's own build runs nothing for the target.
unset(CMAKE_CROSSCOMPILING_EMULATOR)
