# Toolchain for the 32-bit x86 plug-in, built with the native compiler in
# -m32 mode against the i386 APR unpacked into VANTIX_SYSROOT by scripts/setup.
# How the built programs run (natively or emulated) is decided by
# cmake/i386-runner.cmake once the project is configured.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
if(NOT CMAKE_C_COMPILER)
  set(CMAKE_C_COMPILER gcc)
endif()
if(NOT CMAKE_CXX_COMPILER)
  set(CMAKE_CXX_COMPILER g++)
endif()
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
# Google Benchmark's i386 package, when scripts/setup has unpacked it there.
list(APPEND CMAKE_PREFIX_PATH "${VANTIX_SYSROOT}/usr")
