# Cross-build for 64-bit Windows. Not what ships (the player is 32-bit): it is the twin the Wine
# tests run where the machine cannot execute 32-bit code (no 32-bit Wine).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(MARQEL_MINGW_TRIPLET x86_64-w64-mingw32)

include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
