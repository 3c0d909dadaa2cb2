# What the ARM toolchain files share: clang, which builds for any target, with the target's C and
# C++ libraries and development packages from Debian's multiarch (NAME:arm64, NAME:armhf) and its
# cross linker (binutils-TRIPLE). Debian's cross g++ (crossbuild-essential-ARCH) cannot be
# installed beside g++-multilib, which the i386 build needs; clang needs neither. The tests run
# under qemu's user-mode emulator, which CTest and test discovery use by themselves.
# Set before including: quelt_triple, quelt_processor, quelt_qemu.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${quelt_processor})
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${quelt_triple})
set(CMAKE_CXX_COMPILER_TARGET ${quelt_triple})
set(CMAKE_LIBRARY_ARCHITECTURE ${quelt_triple})
# The target's pkg-config files, never the host's.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${quelt_triple}/pkgconfig:/usr/share/pkgconfig)
find_program(QUELT_ARM_EMULATOR ${quelt_qemu} REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QUELT_ARM_EMULATOR})
# The Debian package names the target's architecture, and dpkg-shlibdeps reads the target's
# binaries (scripts/package sets its environment).
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${quelt_debian_architecture})
