# The version is written once, in the TESSERA_VERSION_* macros of the public
# header; the project, the library's file name, the packages and the
# pkg-config and CMake package files take it from there.

function(tessera_header_version header out)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${header})
  set(_parts)
  foreach(_part MAJOR MINOR PATCH)
    file(STRINGS ${header} _line REGEX "^#define TESSERA_VERSION_${_part} [0-9]+$")
    if(NOT _line)
      message(FATAL_ERROR "${header} defines no TESSERA_VERSION_${_part}")
    endif()
    string(REGEX REPLACE ".* " "" _number "${_line}")
    list(APPEND _parts ${_number})
  endforeach()
  list(JOIN _parts "." _version)
  set(${out} ${_version} PARENT_SCOPE)
endfunction()
