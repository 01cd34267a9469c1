# Run by cpack once the packages are built (CPACK_POST_BUILD_SCRIPTS): each
# Debian package is finished by dist/debian/finish-package.sh.
foreach(_package IN LISTS CPACK_PACKAGE_FILES)
  if(_package MATCHES "\\.deb$")
    execute_process(COMMAND sh ${CPACK_TESSERA_FINISH_PACKAGE} ${_package} RESULT_VARIABLE _result)
    if(NOT _result EQUAL 0)
      message(FATAL_ERROR "Cannot finish ${_package}")
    endif()
  endif()
endforeach()
