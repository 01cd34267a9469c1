# Bash completion scripts, written at build time by the commands themselves
# from their own tables of commands and options (the hidden option
# --bash-completion), so that they cannot drift from what the commands take.

set(TESSERA_COMPLETION_DIR ${PROJECT_BINARY_DIR}/completions)
set(_scripts)
foreach(_program tessera pkisim)
  set(_target ${_program})
  if(_program STREQUAL "tessera")
    set(_target tessera_cli)
  endif()
  add_custom_command(OUTPUT ${TESSERA_COMPLETION_DIR}/${_program}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TESSERA_COMPLETION_DIR}
    COMMAND sh -c "\"$0\" --bash-completion >\"$1\"" $<TARGET_FILE:${_target}> ${TESSERA_COMPLETION_DIR}/${_program}
    DEPENDS ${_target}
    COMMENT "Writing the bash completion of ${_program}"
    VERBATIM)
  list(APPEND _scripts ${TESSERA_COMPLETION_DIR}/${_program})
endforeach()
add_custom_target(tessera_completion ALL DEPENDS ${_scripts})

install(FILES ${_scripts} DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT tools)
