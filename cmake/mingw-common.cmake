# What both mingw-w64 cross builds share; the toolchain file of each width
# sets ZORV_MINGW_TRIPLE and CMAKE_SYSTEM_PROCESSOR, then includes this.
# The POSIX thread-model compilers are used: std::thread and GoogleTest need them.
set(CMAKE_SYSTEM_NAME Windows)
set(ZORV_MINGW_SYSROOT /usr/${ZORV_MINGW_TRIPLE})

set(CMAKE_C_COMPILER ${ZORV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZORV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZORV_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH ${ZORV_MINGW_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)

# No DLL beside the exe: the C and C++ runtimes and winpthread are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
