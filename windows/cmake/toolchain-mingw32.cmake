# Cross-build for 32-bit Windows (the player is a 32-bit program, so its plug-ins are too) with
# Debian's mingw-w64. The win32 thread flavour: the component has no threads, and this flavour
# links no pthread emulation, so the static runtime needs nothing beside the system's own DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(MARQEL_MINGW_TRIPLET i686-w64-mingw32)

include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
