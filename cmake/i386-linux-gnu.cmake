# A 32-bit x86 build on an amd64 Debian, through multiarch: gcc -m32 (g++-multilib) and the
# :i386 development packages (scripts/setup i386). For example
#   cmake -S . -B build-i386 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/i386-linux-gnu.cmake -DQUELT_NBD=OFF
# libnbd-dev:i386 cannot stand beside the host's libnbd, so such a build leaves NBD out.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
# The i386 libraries' pkg-config files, never the host's.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig)

# A kernel without IA-32 emulation (some virtual machines) runs no 32-bit program: then the tests
# run under qemu's user-mode emulator (qemu-user), which CTest and test discovery use by itself.
execute_process(COMMAND /lib/ld-linux.so.2 --version RESULT_VARIABLE runs_32_bit OUTPUT_QUIET
                ERROR_QUIET)
if(NOT runs_32_bit EQUAL 0)
  find_program(QUELT_I386_EMULATOR qemu-i386 REQUIRED)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUELT_I386_EMULATOR})
endif()
