# Shared helpers for the project's targets.

# Warnings and strict Qt defines for one target.
function(ts_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  target_compile_definitions(${target} PRIVATE QT_NO_KEYWORDS QT_NO_CAST_FROM_BYTEARRAY QT_NO_URL_CAST_FROM_STRING)
endfunction()

# A static library made of every source below the calling folder.
# Usage: ts_library(name DEPS lib1 lib2 ...)
function(ts_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  list(FILTER srcs EXCLUDE REGEX "/main\\.cpp$")
  set(cpps ${srcs})
  list(FILTER cpps INCLUDE REGEX "\\.cpp$")
  if(NOT cpps)
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  ts_target_defaults(${name})
endfunction()

# One GoogleTest executable made of every test source in the calling folder.
# GUI tests get a QApplication on the offscreen platform, the others a QCoreApplication.
# Usage: ts_test(name [GUI] DEPS lib1 ... [LABELS l1 ...])
function(ts_test name)
  cmake_parse_arguments(ARG "GUI" "" "DEPS;LABELS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  if(ARG_GUI)
    target_link_libraries(${name} PRIVATE ts_test_main_gui)
  else()
    target_link_libraries(${name} PRIVATE ts_test_main_core)
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock Threads::Threads)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_definitions(${name} PRIVATE
    TS_SOURCE_DIR="${PROJECT_SOURCE_DIR}" TS_BINARY_DIR="${PROJECT_BINARY_DIR}")
  ts_target_defaults(${name})
  # Remembered by label, so a build can make just the tests one label runs.
  foreach(label ${ARG_LABELS})
    set_property(GLOBAL APPEND PROPERTY TS_TESTS_LABELLED_${label} ${name})
  endforeach()
  include(GoogleTest)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 300 LABELS "${ARG_LABELS}")
endfunction()
