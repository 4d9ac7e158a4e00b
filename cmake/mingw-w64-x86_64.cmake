# Cross-build for 64-bit Windows with Debian's MinGW-w64 (posix thread model, so std::thread
# works), linked statically so the .exe needs no MinGW DLLs beside it. Libraries come from the
# MinGW sysroot, from VANTOR_MINGW_PREFIX (the ones scripts/build-windows.sh builds) and from
# VANTOR_MINGW_QT (the static Qt of scripts/build-qt-mingw.sh), never from the host.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_host x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_host}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_host}-g++-posix)
set(CMAKE_RC_COMPILER ${_host}-windres)

foreach(_var VANTOR_MINGW_PREFIX VANTOR_MINGW_QT)
  if(NOT ${_var} AND DEFINED ENV{${_var}})
    set(${_var} $ENV{${_var}})
  endif()
endforeach()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VANTOR_MINGW_PREFIX VANTOR_MINGW_QT)

set(CMAKE_FIND_ROOT_PATH /usr/${_host} ${VANTOR_MINGW_PREFIX} ${VANTOR_MINGW_QT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static archives first: a DLL import library would make the .exe depend on a DLL.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a .dll.a .lib)

# Windows 10 API (CancelIoEx, virtual-terminal consoles); localtime_r as POSIX names it; no
# min/max macros to break std::min; M_PI and friends, which glibc gives unasked.
set(_defines
    "-D_WIN32_WINNT=0x0A00 -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_POSIX_THREAD_SAFE_FUNCTIONS -D_USE_MATH_DEFINES")
set(CMAKE_C_FLAGS_INIT "${_defines}")
set(CMAKE_CXX_FLAGS_INIT "${_defines}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# The host's pkg-config would answer with Linux libraries.
set(ENV{PKG_CONFIG_LIBDIR} "${VANTOR_MINGW_PREFIX}/lib/pkgconfig:/usr/${_host}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# Tests and discovery run the .exe under Wine.
find_program(VANTOR_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(VANTOR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VANTOR_WINE})
endif()
