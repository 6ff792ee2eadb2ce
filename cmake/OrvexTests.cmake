# Libraries that collect the project's pieces: every folder links its own libraries into one
# of these, so that tests and the program link one name.
add_library(orvex_portable INTERFACE)
add_library(orvex_win32 INTERFACE)
add_library(orvex_test_support INTERFACE)
target_include_directories(orvex_test_support INTERFACE ${PROJECT_SOURCE_DIR})
target_compile_definitions(orvex_test_support INTERFACE
  ORVEX_SOURCE_DIR="${PROJECT_SOURCE_DIR}")

# orvex_add_test(<test name> <target> LABEL <label>): one CTest entry for a whole test
# binary. Cross-built binaries run through the Wine emulator of the toolchain file.
function(orvex_add_test name target)
  cmake_parse_arguments(ARG "" "LABEL;TIMEOUT" "" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 600)
  endif()
  add_test(NAME ${name} COMMAND ${target} --gtest_color=no)
  set_tests_properties(${name} PROPERTIES LABELS ${ARG_LABEL} TIMEOUT ${ARG_TIMEOUT})
endfunction()
