# The Debian packages, one per install component. scripts/package installs
# each component of a build into a folder of its own and makes it a package
# with dpkg-deb, from the control file written here into
# <build>/debian/<component>/control (cmake/debian/<component>.control.in):
#
#   plugin  vantix-metadata-plugin: the plug-in, one per architecture;
#           Multi-Arch: same, so the amd64 and i386 ones install together
#   dev     vantix-metadata-plugin-dev: the interface headers and their
#           pkg-config file, the same for every architecture
#   tools   vantix-metadata-plugin-tools: mdhost and vantix-sim with their
#           manual pages, one architecture at a time (their commands have one
#           name), chosen as the plug-in a host loads: mdhost loads plug-ins
#           of its own architecture only
#
# Each package carries the copyright file and the changelog of cmake/debian.

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(VANTIX_DEBIAN_ARCHITECTURE i386)
else()
  set(VANTIX_DEBIAN_ARCHITECTURE amd64)
endif()
set(VANTIX_PACKAGE_MAINTAINER "Vantix metadata plug-in developers <metadata-plugin@vantix.example>"
    CACHE STRING "Maintainer field of the Debian packages")

set(VANTIX_PACKAGES plugin vantix-metadata-plugin dev vantix-metadata-plugin-dev
    tools vantix-metadata-plugin-tools)
set(debian ${CMAKE_CURRENT_LIST_DIR}/debian)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${debian}/changelog)

# Compressed as Debian wants it: at most, and without a time stamp.
find_program(GZIP gzip REQUIRED)
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/debian)
execute_process(COMMAND ${GZIP} -9 -n -c ${debian}/changelog
                OUTPUT_FILE ${PROJECT_BINARY_DIR}/debian/changelog.gz RESULT_VARIABLE gzipped)
if(NOT gzipped EQUAL 0)
  message(FATAL_ERROR "gzip could not compress ${debian}/changelog")
endif()

while(VANTIX_PACKAGES)
  list(POP_FRONT VANTIX_PACKAGES component package)
  configure_file(${debian}/${component}.control.in ${PROJECT_BINARY_DIR}/debian/${component}/control @ONLY)
  install(FILES ${debian}/copyright ${PROJECT_BINARY_DIR}/debian/changelog.gz
          DESTINATION share/doc/${package} COMPONENT ${component})
endwhile()
