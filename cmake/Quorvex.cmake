# Helpers shared by every folder's CMakeLists.txt.

# quorvex_library(<target> [DEPS <targets/libs>...])
# Compiles every .cpp of the calling folder (and its res/ resources, when present)
# into a static library. Include paths are relative to the source root.
function(quorvex_library name)
  cmake_parse_arguments(Q "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    set(stub ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${stub} "// no units yet\n")
    set(srcs ${stub})
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  if(Q_DEPS)
    target_link_libraries(${name} PUBLIC ${Q_DEPS})
  endif()
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/res)
    # Resources register themselves at load time, so every program takes them whole.
    quorvex_resources(${name}_res ${CMAKE_CURRENT_SOURCE_DIR}/res)
    add_library(${name}_resources STATIC ${${name}_res_SOURCE})
    target_include_directories(${name}_resources PRIVATE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name}_resources PUBLIC rtl)
    target_link_libraries(${name} PUBLIC "$<LINK_LIBRARY:WHOLE_ARCHIVE,${name}_resources>")
  endif()
endfunction()

# quorvex_resources(<var> <res folder>)
# Runs the resource generator over a res/ folder; sets <var>_SOURCE to the generated source.
function(quorvex_resources var dir)
  file(GLOB_RECURSE inputs CONFIGURE_DEPENDS ${dir}/*)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${var}.cpp)
  add_custom_command(OUTPUT ${out}
    COMMAND resgen ${dir} ${out} ${var}
    DEPENDS resgen ${inputs}
    COMMENT "Compiling resources of ${dir}")
  set(${var}_SOURCE ${out} PARENT_SCOPE)
endfunction()

# quorvex_test(<target> DEPS <libs>...)
# One test program per tests/ folder: every .cpp there, with GoogleTest's main.
function(quorvex_test name)
  cmake_parse_arguments(Q "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE ${Q_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE QUORVEX_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    QUORVEX_BINARY_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT 300
    ENVIRONMENT "${QUORVEX_TEST_ENVIRONMENT}")
endfunction()
