# Debian packages with CPack (`cpack -G DEB` in the build folder), one per
# install component:
#   libtessera<SOVERSION>  runtime      the shared library
#   libtessera-dev         development  header, link, pkg-config and CMake
#                                       files, section-3 manual pages, the
#                                       HTML API reference
#   tessera-tools          tools        tessera, pkisim, section-1 manual
#                                       pages, bash completions, systemd units
#                                       and pkisim's system account
#   python3-tessera        python       the Python package tessera (when the
#                                       build has python3-cffi)
# Each package's documentation folder holds its copyright file and a Debian
# changelog made from CHANGELOG.md; plain installs get them too. A
# component's maintainer scripts and triggers, if any, are the files of
# dist/debian/<component>/. Once built, every package is finished by
# dist/debian/finish-package.sh (its true Installed-Size, no ldconfig calls).

set(TESSERA_PACKAGE_MAINTAINER "tessera developers <tessera@example.org>"
  CACHE STRING "Maintainer named in the Debian packages")

set(_runtime_package libtessera${TESSERA_SOVERSION})
set(_packages runtime:${_runtime_package} development:libtessera-dev tools:tessera-tools)
set(_components runtime development tools)
if(TESSERA_PYTHON_BUILT)
  list(APPEND _packages python:python3-tessera)
  list(APPEND _components python)
endif()

set(_changelog ${PROJECT_BINARY_DIR}/debian/changelog.gz)
add_custom_command(OUTPUT ${_changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/debian
  COMMAND sh -c "sh \"$0\" \"$1\" \"$2\" | gzip -9n >\"$3\""
    ${PROJECT_SOURCE_DIR}/dist/debian/changelog.sh ${PROJECT_SOURCE_DIR}/CHANGELOG.md
    ${TESSERA_PACKAGE_MAINTAINER} ${_changelog}
  DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/dist/debian/changelog.sh
  COMMENT "Writing the Debian changelog"
  VERBATIM)
add_custom_target(tessera_debian_changelog ALL DEPENDS ${_changelog})

foreach(_entry IN LISTS _packages)
  string(REPLACE ":" ";" _entry ${_entry})
  list(GET _entry 0 _component)
  list(GET _entry 1 _package)
  install(FILES ${PROJECT_SOURCE_DIR}/dist/debian/copyright ${_changelog}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${_package} COMPONENT ${_component})
  string(TOUPPER ${_component} _COMPONENT)
  set(CPACK_DEBIAN_${_COMPONENT}_PACKAGE_NAME ${_package})
  set(_extra "")
  foreach(_script preinst postinst prerm postrm triggers)
    if(EXISTS ${PROJECT_SOURCE_DIR}/dist/debian/${_component}/${_script})
      list(APPEND _extra ${PROJECT_SOURCE_DIR}/dist/debian/${_component}/${_script})
    endif()
  endforeach()
  if(_extra)
    set(CPACK_DEBIAN_${_COMPONENT}_PACKAGE_CONTROL_EXTRA ${_extra})
    set(CPACK_DEBIAN_${_COMPONENT}_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  endif()
endforeach()

# The HTML API reference, where Doxygen made it.
if(TARGET docs)
  install(DIRECTORY ${TESSERA_DOCS_DIR}/html DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/libtessera-dev
    COMPONENT development)
endif()

set(CPACK_TESSERA_FINISH_PACKAGE ${PROJECT_SOURCE_DIR}/dist/debian/finish-package.sh)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/TesseraDebFinish.cmake)

set(CPACK_PACKAGE_NAME tessera)
set(CPACK_PACKAGE_VENDOR "the tessera developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# The first line of each component's description below is its synopsis;
# CPack puts the summary above it unless the summary is CPack's default.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_NAME} built using CMake")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL ${_components})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TESSERA_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The commands' dependency on the library is named below; dpkg-shlibdeps
# finds the library in the build tree and passes over it.
get_target_property(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS tessera BINARY_DIR)
# The library's shlibs: programs built against this version need at least it.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

set(_exact "${_runtime_package} (= ${PROJECT_VERSION})")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_MULTIARCH same)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
  "client library of the local PKI service
libtessera connects applications to the local PKI service, the process that
operates USB keys and smart cards, enrols keys and certificates, signs,
verifies, seals envelopes and handles secure mail. It keeps a session with
the service, carries requests synchronously and asynchronously, delivers
device and session notifications and offers two signing shortcuts.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_MULTIARCH same)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS ${_exact})
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
  "client library of the local PKI service - development files
The header tessera.h, the link to the library, a pkg-config file and a CMake
package (find_package(tessera)), and the manual page libtessera(3) with a
name for every function.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS ${_exact})
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
  "command-line client and development service for the local PKI service
tessera sends requests to any method of the local PKI service, lists its
devices, signs with device keys and prints notifications. pkisim is a
development stand-in for the service with simulated RSA and ECC devices,
fault injection and a record of calls, with systemd units to run it as a
service (not enabled on installation).")

# The extension is built for the interpreter of TESSERA_PYTHON (Debian 12's
# Python 3.11) and works with it alone; dpkg-shlibdeps adds the C libraries
# it links.
if(TESSERA_PYTHON_BUILT)
  execute_process(COMMAND ${TESSERA_PYTHON} -c "import sys; print('%d;%d' % sys.version_info[:2])"
    OUTPUT_VARIABLE _python_version OUTPUT_STRIP_TRAILING_WHITESPACE)
  list(GET _python_version 0 _python_major)
  list(GET _python_version 1 _python_minor)
  math(EXPR _python_next_minor "${_python_minor} + 1")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "${_exact}, python3 (>= ${_python_major}.${_python_minor}), \
python3 (<< ${_python_major}.${_python_next_minor}), python3-cffi-backend")
  set(CPACK_COMPONENT_PYTHON_DESCRIPTION
    "client library of the local PKI service - Python 3 interface
The package tessera: the agent of libtessera for Python, with requests by
method name, replies and notifications as objects, futures and asyncio for
queued requests, the signing shortcuts, and an exception class for every
failure of the library.")
endif()

include(CPack)
