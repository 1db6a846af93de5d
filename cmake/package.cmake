# The Debian package of the plug-in, its interface headers and the two
# integrator tools: `cpack -G DEB` in a build folder (scripts/package builds
# both architectures). The package's architecture is the build's, so the
# i386 build makes an i386 package.

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(VANTIX_DEBIAN_ARCHITECTURE i386)
else()
  set(VANTIX_DEBIAN_ARCHITECTURE amd64)
endif()

set(VANTIX_PACKAGE_MAINTAINER "Vantix metadata plug-in developers <metadata-plugin@vantix.example>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantix-metadata-plugin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "metadata model plug-in for Vantix face-recognition servers, with a reference host and a server simulator")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "A host metadata server loads libMetadataModelVantix.so to bring the events of a\n\
Vantix face-recognition server into its channels. The package holds the\n\
plug-in, the headers of its model interface, mdhost (a reference host that\n\
describes and runs any plug-in of the interface) and vantix-sim (a server\n\
simulator with fault scenarios).")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VANTIX_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${VANTIX_DEBIAN_ARCHITECTURE})
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# What dpkg-shlibdeps finds for these binaries, written out because it cannot
# look at i386 libraries that are unpacked rather than installed. libapr1 is
# a hard dependency: mdhost loads it itself, as a host must for the plug-in,
# which refers to APR without naming it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libapr1 (>= 1.2.7), libc6 (>= 2.34), libgcc-s1 (>= 3.0), libstdc++6 (>= 11)")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

include(CPack)
