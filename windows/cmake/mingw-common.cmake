# The part of the mingw-w64 toolchain files that does not depend on the target width.
set(CMAKE_C_COMPILER ${MARQEL_MINGW_TRIPLET}-gcc-win32)
set(CMAKE_CXX_COMPILER ${MARQEL_MINGW_TRIPLET}-g++-win32)
set(CMAKE_RC_COMPILER ${MARQEL_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${MARQEL_MINGW_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${MARQEL_MINGW_TRIPLET}-ranlib CACHE FILEPATH "")
find_program(MARQEL_WIDL NAMES ${MARQEL_MINGW_TRIPLET}-widl widl)

set(CMAKE_FIND_ROOT_PATH /usr/${MARQEL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes go into each module, so a player's folder needs nothing but our files.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# GCC 12 reports a false -Wrestrict inside libstdc++'s string concatenation when it inlines it
# for a 32-bit target (GCC PR 105329); it says nothing about our code.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")

# What ships carries no symbol tables.
set(CMAKE_SHARED_LINKER_FLAGS_RELEASE_INIT "-s")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
