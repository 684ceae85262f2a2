# Windows x86-64 from Linux with MinGW-w64 (Debian's g++-mingw-w64-x86-64-posix), run under Wine.
#   cmake --preset mingw && cmake --build --preset mingw && ctest --preset mingw
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KQ_MINGW_TRIPLET x86_64-w64-mingw32)
# The posix thread model: std::thread and thread_local come from winpthreads.
set(CMAKE_C_COMPILER ${KQ_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KQ_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KQ_MINGW_TRIPLET}-windres)
set(CMAKE_OBJDUMP ${KQ_MINGW_TRIPLET}-objdump CACHE FILEPATH "objdump of the target")

set(CMAKE_FIND_ROOT_PATH /usr/${KQ_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every program and library carries its own copy of the C++ runtime, libgcc and winpthreads, so a
# host loads kqphasefix2.dll with nothing beside it but the host's own libraries.
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-static")
endforeach()

# Programs built here run under Wine: ctest, gtest_discover_tests and add_custom_command go
# through this wrapper, which keeps Wine's prefix in the build folder and its debug output off.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/mingw-w64-wine-run.sh)
