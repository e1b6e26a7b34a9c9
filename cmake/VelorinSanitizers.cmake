# Global sanitizer flags, chosen by the VELORIN_SANITIZE cache variable.
if(VELORIN_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
    add_compile_definitions(VELORIN_SANITIZER_BUILD=1)
elseif(VELORIN_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
    add_compile_definitions(VELORIN_SANITIZER_BUILD=1 VELORIN_TSAN_BUILD=1)
elseif(NOT VELORIN_SANITIZE STREQUAL "")
    message(FATAL_ERROR "VELORIN_SANITIZE must be empty, 'address' or 'thread'")
endif()

# Fuzzing builds instrument every library for coverage, so libFuzzer explores the parsers
# themselves and not only the harnesses.
if(VELORIN_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "VELORIN_FUZZ needs clang (use the 'fuzz' preset)")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
