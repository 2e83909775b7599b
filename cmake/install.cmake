# What `cmake --install` puts in place, and the release packages built from it with CPack.
#   program: kelvartix, with README, license and the sample log as its documentation, and (but on
#            Windows) its manual page;
#   library: the VXP protocol library (vxp, vxp_device), its headers and a CMake package config,
#            so that a C program can find_package(kelvartix) and link kelvartix::vxp.
# The Windows zip holds the program in its top folder; the Debian package installs the program
# in /usr/bin, its documentation in /usr/share/doc/kelvartix and its manual page in
# /usr/share/man/man1. Both hold the program only.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

if(WIN32)
  set(kelvartix_program_dir .)
  set(kelvartix_doc_dir .)
else()
  set(kelvartix_program_dir ${CMAKE_INSTALL_BINDIR})
  set(kelvartix_doc_dir ${CMAKE_INSTALL_DOCDIR})
endif()

install(TARGETS kelvartix RUNTIME DESTINATION ${kelvartix_program_dir} COMPONENT program)
install(FILES README.md LICENSE samples/sample.vxp DESTINATION ${kelvartix_doc_dir} COMPONENT program)
if(NOT WIN32)
  # The manual page, compressed as Debian keeps them (man reads it either way); made with the
  # program, so that building the program alone is enough to install it.
  set(kelvartix_manual_page ${PROJECT_BINARY_DIR}/kelvartix.1.gz)
  add_custom_command(OUTPUT ${kelvartix_manual_page}
                     COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/doc/kelvartix.1 ${PROJECT_BINARY_DIR}
                     COMMAND gzip -9nf ${PROJECT_BINARY_DIR}/kelvartix.1
                     DEPENDS ${PROJECT_SOURCE_DIR}/doc/kelvartix.1 VERBATIM)
  add_custom_target(manual_page DEPENDS ${kelvartix_manual_page})
  add_dependencies(kelvartix manual_page)
  install(FILES ${kelvartix_manual_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)
endif()

# The headers are included as "vxp/...": in the build from the library's own include root
# (cmake/modules.cmake; never the repository's root, which would let it include any folder), once
# installed from the include folder.
foreach(library vxp vxp_device)
  target_include_directories(${library} PUBLIC $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
endforeach()
install(TARGETS vxp vxp_device EXPORT kelvartixTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library)
install(DIRECTORY vxp/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vxp COMPONENT library
        FILES_MATCHING PATTERN "*.h")
set(kelvartix_config_dir ${CMAKE_INSTALL_LIBDIR}/cmake/kelvartix)
install(EXPORT kelvartixTargets NAMESPACE kelvartix:: DESTINATION ${kelvartix_config_dir} COMPONENT library)
configure_package_config_file(cmake/kelvartixConfig.cmake.in ${PROJECT_BINARY_DIR}/kelvartixConfig.cmake
                              INSTALL_DESTINATION ${kelvartix_config_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/kelvartixConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/kelvartixConfig.cmake ${PROJECT_BINARY_DIR}/kelvartixConfigVersion.cmake
        DESTINATION ${kelvartix_config_dir} COMPONENT library)

# Release packages: `cpack -G ZIP` in a Windows build, `cpack -G DEB` in a Linux build
# (tools/release.sh makes both).
set(CPACK_PACKAGE_NAME kelvartix)
set(CPACK_PACKAGE_VENDOR "the kelvartix authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Converts binary VXP device logs to RINEX 3.05 and IMR files")
set(CPACK_PACKAGE_CONTACT "the kelvartix authors")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_COMPONENTS_ALL program)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
if(WIN32)
  set(CPACK_SYSTEM_NAME windows-x64)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
