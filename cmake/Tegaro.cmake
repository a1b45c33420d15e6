# Small helpers shared by every folder.

# tegaro_library(NAME SOURCES ... DEPS ...): one static library per folder,
# which may include headers of the folders of its DEPS only (see
# tegaro_check_includes below).
function(tegaro_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  target_compile_options(${name} PRIVATE -Wall -Wextra)
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set_target_properties(${name} PROPERTIES
    TEGARO_FOLDER "${folder}" TEGARO_DEPS "${ARG_DEPS}" TEGARO_SOURCES "${ARG_SOURCES}")
  set_property(GLOBAL APPEND PROPERTY TEGARO_LIBRARIES ${name})
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

# tegaro_check_includes(): every library includes headers only from its own
# folder and from the folders of the libraries it declares, directly or
# through them. Run once all folders are added; a wrong arrow stops the
# configuration with the file and the include that broke the rule.
function(tegaro_check_includes)
  get_property(libraries GLOBAL PROPERTY TEGARO_LIBRARIES)
  set(folders "")
  foreach(lib ${libraries})
    get_target_property(folder ${lib} TEGARO_FOLDER)
    list(APPEND folders ${folder})
    set(library_of_${folder} ${lib})
  endforeach()
  set(errors "")
  foreach(lib ${libraries})
    # the folders this library may read: its own and those of all it uses
    set(allowed "")
    set(queue ${lib})
    set(seen "")
    while(queue)
      list(POP_FRONT queue current)
      if(current IN_LIST seen OR NOT current IN_LIST libraries)
        continue()
      endif()
      list(APPEND seen ${current})
      get_target_property(folder ${current} TEGARO_FOLDER)
      list(APPEND allowed ${folder})
      get_target_property(deps ${current} TEGARO_DEPS)
      if(deps)
        list(APPEND queue ${deps})
      endif()
    endwhile()
    get_target_property(folder ${lib} TEGARO_FOLDER)
    get_target_property(sources ${lib} TEGARO_SOURCES)
    foreach(source ${sources})
      set(path ${PROJECT_SOURCE_DIR}/${folder}/${source})
      if(NOT source MATCHES "\\.(h|cpp)$" OR NOT EXISTS ${path})
        continue()
      endif()
      file(STRINGS ${path} includes REGEX "^#include \"[^\"]+\"")
      foreach(line ${includes})
        string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${line}")
        get_filename_component(dir ${header} DIRECTORY)
        if(dir IN_LIST folders AND NOT dir IN_LIST allowed)
          string(APPEND errors "\n  ${folder}/${source} includes ${header}, but ${lib} does not use ${library_of_${dir}}")
        endif()
      endforeach()
    endforeach()
  endforeach()
  if(errors)
    message(FATAL_ERROR "Includes that the libraries' declared dependencies do not allow:${errors}")
  endif()
endfunction()
