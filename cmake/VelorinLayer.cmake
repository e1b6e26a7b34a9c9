# velorin_layer(<target> [AUTOMOC] SOURCES <files...>): the static library of one layer folder, with
# the project's warnings and includes named from the source root ("model/WorkMode.h").
function(velorin_layer target)
    cmake_parse_arguments(ARG "AUTOMOC" "" "SOURCES" ${ARGN})
    add_library(${target} STATIC ${ARG_SOURCES})
    if(ARG_AUTOMOC)
        set_target_properties(${target} PROPERTIES AUTOMOC ON)
    endif()
    velorin_warnings(${target})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()
