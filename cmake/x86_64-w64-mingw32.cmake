# Cross build for 64-bit Windows with Debian's MinGW-w64, POSIX threads
# variant, against a static Qt (scripts/windows-qt.sh builds one). The
# programs link every runtime statically, so they need no DLLs, and the tests
# run under Wine:
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/x86_64-w64-mingw32.cmake \
#         -DVANDREL_WINDOWS_QT=$HOME/.cache/vandrel/qt-5.15.8-windows-x64-static
#   cmake --build build-windows -j2 && ctest --test-dir build-windows

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(VANDREL_MINGW_TRIPLE x86_64-w64-mingw32)
# The plain names may point at the win32 threads variant, whose C++ library
# lacks std::thread and std::mutex.
set(CMAKE_C_COMPILER ${VANDREL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VANDREL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VANDREL_MINGW_TRIPLE}-windres)

# libgcc, libstdc++ and winpthread linked in: no MinGW DLL beside the program.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Libraries and packages come from the MinGW sysroot and the Windows Qt only,
# never from the build machine's own Qt.
set(VANDREL_WINDOWS_QT "$ENV{VANDREL_WINDOWS_QT}" CACHE PATH "Prefix of the static Qt for Windows")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VANDREL_WINDOWS_QT)
set(CMAKE_FIND_ROOT_PATH /usr/${VANDREL_MINGW_TRIPLE} ${VANDREL_WINDOWS_QT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CTest runs the test programs through Wine.
find_program(VANDREL_WINE NAMES wine)
if(VANDREL_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VANDREL_WINE})
endif()
