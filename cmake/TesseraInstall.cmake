# Install rules: the library with its header, a CMake package config
# (find_package(tessera) -> tessera::tessera), a pkg-config file, pkisim and
# the tessera command. Every installed file finds the others relative to its
# own place, so the tree works under any --prefix given to `cmake --install`.
# Components: runtime (the library), development (header, link, package
# files), tools (the commands).

include(CMakePackageConfigHelpers)

foreach(_dir LIBDIR INCLUDEDIR BINDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${_dir}}")
    message(FATAL_ERROR "CMAKE_INSTALL_${_dir} must be relative to the prefix")
  endif()
endforeach()

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

# The pkg-config file names the absolute, normalised folders of the prefix
# given to the install (/usr for the packages), so that pkg-config knows
# -I/usr/include and -L/usr/lib/<triplet> for system folders and leaves them
# out. It is written when installing, as only then is the prefix known.
set(_pcdir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
set(_pc ${CMAKE_CURRENT_BINARY_DIR}/pkgconfig/tessera.pc)
install(CODE "
  get_filename_component(TESSERA_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\" ABSOLUTE)
  set(TESSERA_PC_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
  set(TESSERA_PC_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
  set(PROJECT_DESCRIPTION \"${PROJECT_DESCRIPTION}\")
  set(PROJECT_VERSION \"${PROJECT_VERSION}\")
  configure_file(\"${CMAKE_CURRENT_LIST_DIR}/tessera.pc.in\" \"${_pc}\" @ONLY)
  " COMPONENT development)
install(FILES ${_pc} DESTINATION ${_pcdir} COMPONENT development)

# The commands find the library beside them ($ORIGIN/../lib/...), wherever
# the tree is installed; no ldconfig or LD_LIBRARY_PATH is needed for them.
file(RELATIVE_PATH _libFromBin /${CMAKE_INSTALL_BINDIR} /${CMAKE_INSTALL_LIBDIR})
foreach(_tool pkisim tessera_cli)
  set_target_properties(${_tool} PROPERTIES INSTALL_RPATH "$ORIGIN/${_libFromBin}")
  install(TARGETS ${_tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
endforeach()

# systemd units for pkisim (not enabled by the install), the system account
# that the system unit runs it as, and its guide.
install(FILES ${PROJECT_SOURCE_DIR}/dist/systemd/system/pkisim.service
  DESTINATION lib/systemd/system COMPONENT tools)
install(FILES ${PROJECT_SOURCE_DIR}/dist/systemd/sysusers/pkisim.conf
  DESTINATION lib/sysusers.d COMPONENT tools)
install(FILES ${PROJECT_SOURCE_DIR}/dist/systemd/user/pkisim.service
  DESTINATION lib/systemd/user COMPONENT tools)
install(FILES ${PROJECT_SOURCE_DIR}/pkisim/README.md ${PROJECT_SOURCE_DIR}/pkisim/BODIES.md
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tessera-tools/pkisim COMPONENT tools)
