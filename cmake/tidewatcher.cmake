# Helpers shared by every folder's CMakeLists.txt.

# Our own code builds with warnings as errors; third-party code is left alone.
function(tw_strict target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Werror)
endfunction()

# A library of one layer; headers are included as "layer/file.h" from the source root.
function(tw_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  tw_strict(${name})
endfunction()

# tw_test(NAME name LABEL label SOURCES ... LIBS ...)
# One GoogleTest executable, each of its tests registered with CTest under the label.
function(tw_test)
  cmake_parse_arguments(T "" "NAME;LABEL" "SOURCES;LIBS" ${ARGN})
  if(NOT T_LABEL)
    set(T_LABEL unit)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR})
  tw_strict(${T_NAME})
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS ${T_LABEL} TIMEOUT 120)
endfunction()
