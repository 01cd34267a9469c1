# Manual pages: written in scdoc (docs/man/*.scd), built when scdoc is
# installed, compressed as Debian wants them. tessera(1) and pkisim(1) go
# with the commands, libtessera(3) with the development files, and every
# function of the library has a name of its own that leads to it
# (`man reqSync`).

find_program(SCDOC_PROGRAM scdoc)
if(NOT SCDOC_PROGRAM)
  message(STATUS "scdoc not found: the manual pages are not built")
  return()
endif()

set(_pages tessera.1:tools pkisim.1:tools libtessera.3:development)
set(_built)
foreach(_entry IN LISTS _pages)
  string(REPLACE ":" ";" _entry ${_entry})
  list(GET _entry 0 _page)
  list(GET _entry 1 _component)
  string(REGEX REPLACE ".*\\." "" _section ${_page})
  set(_source ${PROJECT_BINARY_DIR}/man/${_page}.scd)
  set(_output ${PROJECT_BINARY_DIR}/man/${_page}.gz)
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${_page}.scd ${_source} @ONLY)
  add_custom_command(OUTPUT ${_output}
    COMMAND sh -c "\"$0\" <\"$1\" | gzip -9n >\"$2\"" ${SCDOC_PROGRAM} ${_source} ${_output}
    DEPENDS ${_source}
    COMMENT "Building the manual page ${_page}"
    VERBATIM)
  list(APPEND _built ${_output})
  install(FILES ${_output} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${_section} COMPONENT ${_component})
endforeach()
add_custom_target(tessera_man ALL DEPENDS ${_built})

foreach(_function createAgent loginAgent logoutAgent reqSync reqAsync releaseAgent rsaSignData eccSignData
                  agentLastError agentLastErrorText agentErrorString setAgentLogger setAgentMaxConnections
                  vpkiReqNew vpkiReqFree vpkiReqSetBody vpkiRespNew vpkiRespFree vpkiRespText tesseraVersion)
  file(CREATE_LINK libtessera.3.gz ${PROJECT_BINARY_DIR}/man/${_function}.3.gz SYMBOLIC)
  install(FILES ${PROJECT_BINARY_DIR}/man/${_function}.3.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man3
    COMPONENT development)
endforeach()
