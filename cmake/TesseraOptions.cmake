# Compiler settings shared by every target of the project.

if(TESSERA_SANITIZE)
  string(REPLACE "," ";" _tessera_sanitizers "${TESSERA_SANITIZE}")
  foreach(_s IN LISTS _tessera_sanitizers)
    if(NOT _s MATCHES "^(address|undefined|thread|leak)$")
      message(FATAL_ERROR "Unknown sanitizer '${_s}' in TESSERA_SANITIZE")
    endif()
  endforeach()
  # Applies to generated code too: a report anywhere in the process counts.
  add_compile_options(-fsanitize=${TESSERA_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${TESSERA_SANITIZE})
endif()

# Warnings for the project's own code; generated code is compiled without them.
function(tessera_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(TESSERA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
