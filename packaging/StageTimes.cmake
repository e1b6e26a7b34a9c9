# Run by CPack once the files are staged, before a package is made (CPACK_PRE_BUILD_SCRIPTS): with
# SOURCE_DATE_EPOCH set, every staged file, folder and link takes that time. Without this the
# packages would keep the time each file was built or copied at, since rpmbuild only clamps times
# later than SOURCE_DATE_EPOCH, and a build made before the commit's time keeps its own.
if(DEFINED ENV{SOURCE_DATE_EPOCH} AND NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
    if(NOT "$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
        message(FATAL_ERROR "SOURCE_DATE_EPOCH is not a number of seconds: $ENV{SOURCE_DATE_EPOCH}")
    endif()
    execute_process(COMMAND find ${CPACK_TEMPORARY_DIRECTORY} -exec touch -h -d @$ENV{SOURCE_DATE_EPOCH} {} +
        RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "could not set the staged files' times in ${CPACK_TEMPORARY_DIRECTORY}")
    endif()
endif()
