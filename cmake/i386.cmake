# Toolchain for the 32-bit x86 plug-in, built with the native compiler in
# -m32 mode against the i386 APR unpacked into VANTIX_SYSROOT by scripts/setup.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32")
set(CMAKE_CXX_FLAGS_INIT "-m32")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

if(NOT VANTIX_SYSROOT)
  get_filename_component(VANTIX_SYSROOT "${CMAKE_CURRENT_LIST_DIR}/../build/sysroot-i386" ABSOLUTE)
endif()
set(VANTIX_SYSROOT "${VANTIX_SYSROOT}" CACHE PATH "Folder holding the unpacked i386 APR")
set(APR_INCLUDE_DIR "${VANTIX_SYSROOT}/usr/include/apr-1.0" CACHE PATH "")
set(APR_LIBRARY "${VANTIX_SYSROOT}/usr/lib/i386-linux-gnu/libapr-1.so" CACHE FILEPATH "")

# This machine cannot run i386 programs itself: tests run under qemu, which
# finds the i386 C and C++ runtime of the multilib packages on its own and
# APR through the library path.
find_program(QEMU_I386 qemu-i386)
if(QEMU_I386)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      "${QEMU_I386};-E;LD_LIBRARY_PATH=${VANTIX_SYSROOT}/usr/lib/i386-linux-gnu")
endif()
