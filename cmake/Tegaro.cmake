# Small helpers shared by every folder.

# tegaro_library(NAME SOURCES ... DEPS ...): one static library per folder.
function(tegaro_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  target_compile_options(${name} PRIVATE -Wall -Wextra)
endfunction()

# tegaro_test(NAME SOURCES ... DEPS ...): a Qt Test executable registered with CTest.
function(tegaro_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_DEPS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    TEGARO_FIXTURES="${PROJECT_SOURCE_DIR}/tests/fixtures"
    TEGARO_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  # Without Qt Test's crash handler: a crash ends the program at once, where
  # the handler can loop on the signal until the time runs out.
  add_test(NAME ${name} COMMAND ${name} -nocrashhandler)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
