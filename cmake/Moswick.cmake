# Shared build settings for every project target.

# Warnings are errors only where the project's own make and CI build
# (MOSWICK_WERROR=ON): a packager's flags or a newer compiler's new warning
# must never break someone else's build.
set(MOSWICK_WARNINGS -Wall -Wextra)
if(MOSWICK_WERROR)
  list(APPEND MOSWICK_WARNINGS -Werror)
endif()

if(MOSWICK_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

# moswick_library(<name> [DEPS ...]): a subsystem's static library from every
# .cpp in the calling folder (and its sub-folders), public include root src/.
function(moswick_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_compile_options(${name} PRIVATE ${MOSWICK_WARNINGS})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# moswick_test(<name> [TIMEOUT seconds] DEPS ...): one GoogleTest program from
# every .cpp in the calling folder, its cases registered with CTest one by one.
# Tests run from the build folder so they find the built game data beside the
# program. TIMEOUT gives each case longer than ctest's default (whole games).
function(moswick_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "DEPS" ${ARGN})
  set(_timeout)
  if(ARG_TIMEOUT)
    set(_timeout TIMEOUT ${ARG_TIMEOUT})
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_compile_options(${name} PRIVATE ${MOSWICK_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    MOSWICK_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    MOSWICK_BUILD_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DISCOVERY_TIMEOUT 120
    # One value per property: the discovered tests' properties are passed on
    # as a flat list, so a list value ("A;B") would be cut apart and swallow
    # the properties after it (the whole-game tests lost their TIMEOUT).
    PROPERTIES ENVIRONMENT SDL_VIDEODRIVER=dummy ENVIRONMENT_MODIFICATION SDL_AUDIODRIVER=set:dummy ${_timeout})
endfunction()
