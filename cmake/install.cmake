# Install rules: the shared and static libraries, the public headers, a CMake
# package config (find_package(tarnwick)) and a pkg-config file.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS tarnwick tarnwick_static EXPORT tarnwickTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(TARGET tarnwick-cli)
  install(TARGETS tarnwick-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/tarnwick DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT tarnwickTargets NAMESPACE tarnwick::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tarnwick)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/tarnwickConfig.cmake.in
  ${PROJECT_BINARY_DIR}/tarnwickConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tarnwick)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/tarnwickConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/tarnwickConfig.cmake ${PROJECT_BINARY_DIR}/tarnwickConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tarnwick)

file(RELATIVE_PATH TARNWICK_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
configure_file(${PROJECT_SOURCE_DIR}/cmake/tarnwick.pc.in ${PROJECT_BINARY_DIR}/tarnwick.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tarnwick.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
