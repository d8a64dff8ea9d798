# SPDX-License-Identifier: Apache-2.0
# Debian packages with CPack's DEB generator: `make package` (cpack -G DEB in the build).
# CPack rather than debhelper because the packages come from the same install rules every
# other install uses, need no debian/ tree beside the sources, and build with nothing but
# CMake and dpkg; dpkg-shlibdeps still computes the library dependencies.
set(usborva_deb_release 1)
set(USBORVA_DEB_VERSION "${PROJECT_VERSION}-${usborva_deb_release}")
set(usborva_maintainer "USBORVA maintainers <maintainers@usborva.example>")

# Each package carries its copyright file and changelogs where Debian policy wants them.
foreach(package libusborva0 libusborva-dev usborva)
  if(package STREQUAL "libusborva0")
    set(component runtime)
  elseif(package STREQUAL "libusborva-dev")
    set(component dev)
  else()
    set(component tool)
  endif()
  set(doc_dir ${CMAKE_CURRENT_BINARY_DIR}/deb-doc/${package})
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/changelog.in
                 ${doc_dir}/changelog.Debian @ONLY)
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/CHANGELOG.md ${doc_dir}/changelog COPYONLY)
  execute_process(COMMAND gzip -n -9 -f ${doc_dir}/changelog.Debian ${doc_dir}/changelog)
  install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/copyright
                ${doc_dir}/changelog.Debian.gz ${doc_dir}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component}
          EXCLUDE_FROM_ALL)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME usborva)
set(CPACK_PACKAGE_VENDOR "The USBORVA developers")
set(CPACK_PACKAGE_CONTACT "${usborva_maintainer}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/packages)
set(CPACK_COMPONENTS_ALL runtime dev tool)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${usborva_deb_release})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${usborva_maintainer}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libusborva0)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/libusborva0/triggers)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
    "library to drive a USB HID payment terminal
USBORVA drives a magnetic-stripe card reader with a PIN pad, a display and
selection keys over USB HID: it finds and opens the terminal, reads its
identity, delivers every card swipe, PIN entry and key press as events,
sends feature commands, and reconnects a terminal that was unplugged.

This package holds the shared library.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libusborva-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libusborva0 (= ${USBORVA_DEB_VERSION})")
set(CPACK_COMPONENT_DEV_DESCRIPTION
    "library to drive a USB HID payment terminal - development files
USBORVA drives a magnetic-stripe card reader with a PIN pad, a display and
selection keys over USB HID.

This package holds the C++20 headers, the CMake package
(find_package(usborva)) and the pkg-config file.")

set(CPACK_DEBIAN_TOOL_PACKAGE_NAME usborva)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOL_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/postinst)
set(CPACK_COMPONENT_TOOL_DESCRIPTION
    "command-line tool for USB HID payment terminals
The usborva command opens a payment terminal (or a simulated one) and prints
its identity and every event, lists the HID interfaces and why each is or is
not used, sends feature commands, parses card-data text and rehearses host
applications on the built-in simulated terminal. Card numbers are masked
unless asked for. The udev rule gives the user at the seat access to the
terminal.")
# CPack indents the description's later lines itself and writes " ." for an empty one.

include(CPack)
