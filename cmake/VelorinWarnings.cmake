# Warning flags for the project's own targets (not for third-party code).
function(velorin_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
    if(VELORIN_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
