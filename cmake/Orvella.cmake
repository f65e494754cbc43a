# One static library per source folder: every .cpp and .h directly inside it.
function(orvella_library name dir)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.h)
  list(FILTER _srcs INCLUDE REGEX "\\.cpp$")
  if(NOT _srcs)
    # A folder whose code has not arrived yet still links as an interface.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.h)
  add_library(${name} STATIC ${_srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(${name} PRIVATE -Wall -Wextra -Werror)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# One test program per test folder; each GoogleTest case becomes a CTest test.
function(orvella_test name dir)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.h)
  if(NOT _srcs)
    return()
  endif()
  add_executable(${name} ${_srcs} ${PROJECT_SOURCE_DIR}/tests/support/TestMain.cpp)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_compile_options(${name} PRIVATE -Wall -Wextra -Werror)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} platform_appkit platform_foundation GTest::gtest GTest::gmock Qt6::Widgets)
  orvella_embed(${name} orvellaInfo ${PROJECT_SOURCE_DIR}/resources/Orvella/Info.json)
  orvella_embed(${name} localizableStrings ${PROJECT_SOURCE_DIR}/resources/en.lproj/Localizable.strings)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TMPDIR=/dev/shm;UNIT_TEST=1")
endfunction()

# Compiles a file into a target as a function returning its bytes, so that every executable
# carries its own information keys and strings table without a resource system.
function(orvella_embed target function file)
  set(_out ${CMAKE_CURRENT_BINARY_DIR}/${target}_${function}.cpp)
  add_custom_command(OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -DIN=${file} -DOUT=${_out} -DFUNC=${function}
            -P ${PROJECT_SOURCE_DIR}/cmake/Embed.cmake
    DEPENDS ${file} ${PROJECT_SOURCE_DIR}/cmake/Embed.cmake VERBATIM)
  target_sources(${target} PRIVATE ${_out})
endfunction()
