# SPDX-License-Identifier: Apache-2.0
# Installing USBORVA as a Linux library: libusborva (one shared library holding every
# module), the public headers, the usborva tool, a CMake package (find_package(usborva) ->
# usborva::usborva, with a version file), a pkg-config file and the udev rule.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

option(USBORVA_INSTALL_UDEV_RULES "Install the udev rule granting access to the terminal" ON)
set(USBORVA_UDEV_RULES_DIR "lib/udev/rules.d" CACHE STRING
    "Where the udev rule is installed, relative to the prefix (or absolute)")

# The module archives that hold code: the top directory's usborva_* static libraries (a
# module without sources is an interface target and has nothing to add).
set(usborva_archives)
get_property(top_targets DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} PROPERTY BUILDSYSTEM_TARGETS)
foreach(module ${top_targets})
  get_target_property(module_type ${module} TYPE)
  if(module MATCHES "^usborva_" AND module_type STREQUAL "STATIC_LIBRARY")
    list(APPEND usborva_archives ${module})
  endif()
endforeach()

# The combined library takes every object of every archive (the modules are built with
# position-independent code), so every exported function is in it whether or not another
# module calls it.
set(usborva_lib_source ${CMAKE_CURRENT_BINARY_DIR}/usborva_lib.cc)
file(WRITE ${usborva_lib_source}.in
     "// The combined library: its contents are the module archives, linked whole.\n")
configure_file(${usborva_lib_source}.in ${usborva_lib_source} COPYONLY)
add_library(usborva_lib SHARED ${usborva_lib_source})
set(whole_archives)
foreach(archive ${usborva_archives})
  list(APPEND whole_archives $<TARGET_FILE:${archive}>)
endforeach()
target_link_libraries(usborva_lib PRIVATE -Wl,--whole-archive ${whole_archives}
                      -Wl,--no-whole-archive)
if(usborva_archives)
  add_dependencies(usborva_lib ${usborva_archives})
endif()
target_include_directories(usborva_lib PUBLIC
  $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_compile_features(usborva_lib PUBLIC cxx_std_20)
target_link_options(usborva_lib PRIVATE -Wl,--no-undefined)
# What a project that adds USBORVA as a subdirectory links, spelled as after find_package.
add_library(usborva::usborva ALIAS usborva_lib)
set_target_properties(usborva_lib PROPERTIES
  OUTPUT_NAME usborva
  EXPORT_NAME usborva
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR})

# The shared library is linked read-only after relocation, as distributions harden theirs.
target_link_options(usborva_lib PRIVATE -Wl,-z,relro -Wl,-z,now)

# Components, one per Debian package (cmake/package.cmake): runtime (the shared library),
# dev (headers, the development link, CMake and pkg-config files), tool (the usborva
# command, its manual page, bash completion and the udev rule).
install(TARGETS usborva_lib EXPORT usborvaTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/include/usborva
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev FILES_MATCHING PATTERN "*.h")

if(TARGET usborva_tool)
  install(TARGETS usborva_tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
  # The manual page is written from the tool's own help texts.
  set(usborva_manpage ${CMAKE_CURRENT_BINARY_DIR}/usborva.1)
  add_custom_command(OUTPUT ${usborva_manpage}.gz
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/scripts/make-manpage.sh $<TARGET_FILE:usborva_tool>
            ${PROJECT_VERSION} ${usborva_manpage}
    COMMAND gzip -n -9 -f ${usborva_manpage}
    DEPENDS usborva_tool ${CMAKE_CURRENT_SOURCE_DIR}/scripts/make-manpage.sh
    COMMENT "Writing the usborva(1) manual page")
  add_custom_target(usborva_manpage ALL DEPENDS ${usborva_manpage}.gz)
  install(FILES ${usborva_manpage}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tool)
  install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/packaging/bash-completion/usborva
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT tool)
endif()

# CMake package.
set(usborva_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/usborva)
install(EXPORT usborvaTargets NAMESPACE usborva:: DESTINATION ${usborva_cmake_dir}
        COMPONENT dev)
configure_package_config_file(
  ${CMAKE_CURRENT_SOURCE_DIR}/packaging/cmake/usborvaConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/usborvaConfig.cmake
  INSTALL_DESTINATION ${usborva_cmake_dir})
# Before 1.0 a minor release may change the interface.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/usborvaConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/usborvaConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/usborvaConfigVersion.cmake
        DESTINATION ${usborva_cmake_dir} COMPONENT dev)

# pkg-config, relocatable: the prefix is found from the file's own place, so an install
# with another --prefix than the configured one still points at itself.
file(RELATIVE_PATH usborva_pc_to_prefix
     ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" usborva_pc_to_prefix "${usborva_pc_to_prefix}")
if(IS_ABSOLUTE "${USBORVA_UDEV_RULES_DIR}")
  set(usborva_pc_udevdir "${USBORVA_UDEV_RULES_DIR}")
else()
  set(usborva_pc_udevdir "\${prefix}/${USBORVA_UDEV_RULES_DIR}")
endif()
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/packaging/pkgconfig/usborva.pc.in
               ${CMAKE_CURRENT_BINARY_DIR}/usborva.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/usborva.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

if(USBORVA_INSTALL_UDEV_RULES)
  install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/packaging/udev/70-usborva.rules
          DESTINATION ${USBORVA_UDEV_RULES_DIR} COMPONENT tool)
  # udev reads packaged rules from /usr/lib/udev/rules.d (and /etc/udev/rules.d), never
  # from another prefix: say so where an install would put the rule out of its sight.
  install(CODE "
    set(rules_dir \"${USBORVA_UDEV_RULES_DIR}\")
    if(NOT IS_ABSOLUTE \"\${rules_dir}\")
      set(rules_dir \"\${CMAKE_INSTALL_PREFIX}/\${rules_dir}\")
    endif()
    if(NOT rules_dir MATCHES \"^(/usr)?/lib/udev/rules.d/?$|^/etc/udev/rules.d/?$\"
       AND NOT DEFINED ENV{DESTDIR})
      message(STATUS \"Note: udev does not read \${rules_dir}; copy 70-usborva.rules to \"
                     \"/etc/udev/rules.d/ for the terminal to be usable (see \"
                     \"packaging/udev/README.md)\")
    endif()" COMPONENT tool)
endif()

include(${CMAKE_CURRENT_LIST_DIR}/package.cmake)
