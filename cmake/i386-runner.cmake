# How the programs of the i386 build run: natively where the kernel runs
# 32-bit x86 programs, under qemu-i386 only where it cannot. Either way the
# i386 APR comes from the sysroot through the library path. The choice is the
# emulator of every test and is kept in VANTIX_RUNNER for the scripts.
set(_vantix_libdir "${VANTIX_SYSROOT}/usr/lib/i386-linux-gnu")
set(_vantix_probe "${CMAKE_BINARY_DIR}/CMakeFiles/i386-probe")
file(WRITE "${_vantix_probe}/probe.c" "int main(void) { return 0; }\n")
try_compile(_vantix_probe_built "${_vantix_probe}/build" "${_vantix_probe}/probe.c"
            COPY_FILE "${_vantix_probe}/probe")
set(_vantix_probe_ran 1)
if(_vantix_probe_built)
  execute_process(COMMAND "${_vantix_probe}/probe" RESULT_VARIABLE _vantix_probe_ran
                  OUTPUT_QUIET ERROR_QUIET)
endif()

if(_vantix_probe_ran EQUAL 0)
  find_program(VANTIX_ENV env REQUIRED)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${VANTIX_ENV};LD_LIBRARY_PATH=${_vantix_libdir}")
  set(_vantix_run "natively")
else()
  find_program(QEMU_I386 qemu-i386)
  if(NOT QEMU_I386)
    message(FATAL_ERROR "This kernel cannot run i386 programs and qemu-i386 is not installed")
  endif()
  # qemu finds the i386 C and C++ runtime of the multilib packages on its own.
  set(CMAKE_CROSSCOMPILING_EMULATOR "${QEMU_I386};-E;LD_LIBRARY_PATH=${_vantix_libdir}")
  set(_vantix_run "under qemu-i386")
endif()
set(VANTIX_RUNNER "${CMAKE_CROSSCOMPILING_EMULATOR}" CACHE INTERNAL "How this build's programs are started")
set(VANTIX_RUNS "${_vantix_run}" CACHE INTERNAL "How this build's programs run, in words")
message(STATUS "i386 programs run ${_vantix_run}")
