# 64-bit ARM Linux with Debian's cross toolchain (g++-aarch64-linux-gnu). Programs of the build,
# tests included, run under qemu-user with the cross toolchain's sysroot as their root.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(KQ_AARCH64_SYSROOT /usr/aarch64-linux-gnu)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# Headers, libraries and packages from the target's tree only; programs from the build machine.
set(CMAKE_FIND_ROOT_PATH ${KQ_AARCH64_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(KQ_QEMU_AARCH64 qemu-aarch64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${KQ_QEMU_AARCH64} -L ${KQ_AARCH64_SYSROOT})

# qemu-user does not follow an exec into another aarch64 program (only a binfmt_misc entry of the
# build machine would), so tests that start kqhost or re-run themselves start them through it.
set(KQ_TEST_CHILD_LAUNCHER ${CMAKE_CROSSCOMPILING_EMULATOR})
