# The `docs` target: the API reference, made by Doxygen from the comments of
# include/tessera.h into <build>/docs/html. Only when Doxygen is installed;
# with TESSERA_WERROR its warnings fail the target.

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
add_custom_target(docs
  COMMAND Doxygen::doxygen ${PROJECT_BINARY_DIR}/Doxyfile
  DEPENDS ${PROJECT_SOURCE_DIR}/include/tessera.h
  COMMENT "Writing the API reference into ${TESSERA_DOCS_DIR}/html"
  VERBATIM)
