# The `docs` target, part of the default one: the API reference, made by
# Doxygen from the comments of the public headers into <build>/docs/html
# (installed with the development files). Only when Doxygen is installed;
# with TESSERA_WERROR its warnings fail the build.

find_package(Doxygen QUIET)
if(NOT DOXYGEN_FOUND)
  message(STATUS "Doxygen not found: no docs target")
  return()
endif()

set(TESSERA_DOCS_DIR ${PROJECT_BINARY_DIR}/docs)
if(TESSERA_WERROR)
  set(TESSERA_DOCS_WARN_AS_ERROR FAIL_ON_WARNINGS)
else()
  set(TESSERA_DOCS_WARN_AS_ERROR NO)
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/Doxyfile.in ${PROJECT_BINARY_DIR}/Doxyfile @ONLY)
# Doxygen leaves pages of a former run that no longer have a source.
add_custom_command(OUTPUT ${TESSERA_DOCS_DIR}/html/index.html
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${TESSERA_DOCS_DIR}/html
  COMMAND Doxygen::doxygen ${PROJECT_BINARY_DIR}/Doxyfile
  DEPENDS ${PROJECT_SOURCE_DIR}/include/tessera.h ${PROJECT_SOURCE_DIR}/include/tessera_catalogue.h
          ${PROJECT_BINARY_DIR}/Doxyfile
  COMMENT "Writing the API reference into ${TESSERA_DOCS_DIR}/html"
  VERBATIM)
add_custom_target(docs ALL DEPENDS ${TESSERA_DOCS_DIR}/html/index.html)
