# Shared part of the two mingw-w64 toolchains; VP_MINGW_TRIPLE names the target.
set(CMAKE_C_COMPILER ${VP_MINGW_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${VP_MINGW_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${VP_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VP_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Static runtime: the installer is a single file that runs on a bare system.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
