# Fails when any tracked C++ source differs from what clang-format makes of it (run as a CTest test).
execute_process(COMMAND git ls-files "*.h" "*.cpp" WORKING_DIRECTORY ${SOURCE_DIR} OUTPUT_VARIABLE files
                RESULT_VARIABLE git_result)
if(NOT git_result EQUAL 0)
  message(STATUS "not a git checkout: nothing to check")
  return()
endif()
string(REPLACE "\n" ";" files "${files}")
list(FILTER files EXCLUDE REGEX "^$")
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${files} WORKING_DIRECTORY ${SOURCE_DIR}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "unformatted sources: run clang-format -i on the files named above")
endif()
