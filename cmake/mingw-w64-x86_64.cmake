# Cross-building the engine and the command-line tools for 64-bit Windows on
# Debian with g++-mingw-w64-x86-64-posix (the POSIX thread model, which
# std::thread and std::mutex need):
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The programs link libgcc, libstdc++ and winpthread statically so that a
# .exe runs without DLLs beside it; tests run under wine (CMAKE_CROSSCOMPILING_EMULATOR).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAVIX_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAVIX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVIX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVIX_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TAVIX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No DLLs from the compiler: the C++ runtime and the thread library go into
# each .exe.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Wine runs the test programs (ctest, gtest_discover_tests), in a wine prefix
# inside the build tree.
find_program(TAVIX_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TAVIX_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR
        sh "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh" "${TAVIX_WINE}" "${CMAKE_BINARY_DIR}/wine")
endif()

# zlib from libz-mingw-w64-dev, linked into the program (no zlib1.dll).
set(ZLIB_USE_STATIC_LIBS ON)
