# Cross-building for arm64 with Debian's g++-aarch64-linux-gnu. The libraries
# linked beyond the C and C++ runtimes (libacl; MPFR for a test) are Debian's
# arm64 packages, installed beside the host's (multiarch, scripts/install-deps
# arm64); the test programs run under qemu-aarch64 (qemu-user) with the
# arm64 C library, C++ runtime and the rest from there, one consistent set.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
# The cross C library, and the arm64 packages' libraries in /usr/lib/aarch64-linux-gnu.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Header-only Boost (Boost.Math) and libacl's headers come from the host's /usr/include.
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
# pkg-config reads the arm64 packages' .pc files only.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
# GCC notes that passing a pair of long doubles changed in GCC 10.1; all
# of it is built by this one compiler.
set(CMAKE_CXX_FLAGS_INIT -Wno-psabi)
