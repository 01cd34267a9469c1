# Install rules: the library with its header, a CMake package config
# (find_package(tessera) -> tessera::tessera), a pkg-config file, pkisim and
# the tessera command.

include(CMakePackageConfigHelpers)

install(TARGETS tessera EXPORT tesseraTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
install(EXPORT tesseraTargets NAMESPACE tessera::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tessera COMPONENT development)

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/tesseraConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/tesseraConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tessera)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/tesseraConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tesseraConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/tesseraConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tessera COMPONENT development)

configure_file(${CMAKE_CURRENT_LIST_DIR}/tessera.pc.in ${CMAKE_CURRENT_BINARY_DIR}/tessera.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tessera.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)

foreach(_tool pkisim tessera_cli)
  if(TARGET ${_tool})
    install(TARGETS ${_tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
  endif()
endforeach()
