# Sanitizer flags from TRELVANE_SANITIZERS for our own targets; link trelvane_sanitizers PRIVATE.
add_library(trelvane_sanitizers INTERFACE)
if(TRELVANE_SANITIZERS)
    list(JOIN TRELVANE_SANITIZERS "," sanitizerList)
    target_compile_options(trelvane_sanitizers INTERFACE
        -fsanitize=${sanitizerList} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(trelvane_sanitizers INTERFACE -fsanitize=${sanitizerList})
endif()

# Applies the project's warnings and sanitizers to one of our targets.
function(trelvane_setup_target target)
    target_link_libraries(${target} PRIVATE trelvane_warnings trelvane_sanitizers)
endfunction()
