# quenlar_subsystem(<name> [QT] [DEPS lib...])
# Builds every .cpp of the current folder into the library quenlar_<name>.
# Logic subsystems omit QT: they must not see a Qt header.
function(quenlar_subsystem name)
  cmake_parse_arguments(ARG "QT" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(quenlar_${name} STATIC ${srcs})
  target_include_directories(quenlar_${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(quenlar_${name} PUBLIC ${ARG_DEPS})
  if(ARG_QT)
    set_target_properties(quenlar_${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(quenlar_${name} PUBLIC Qt6::Widgets)
  endif()
endfunction()

# quenlar_tests(<name> [DEPS lib...])
# One GoogleTest program per subsystem, from every .cpp of the current folder.
function(quenlar_tests name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(test_${name} ${srcs})
  set_target_properties(test_${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(test_${name} PRIVATE quenlar_test_support ${ARG_DEPS} GTest::gtest)
  target_include_directories(test_${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  add_test(NAME ${name} COMMAND test_${name} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QUENLAR_SOURCE_DIR=${CMAKE_SOURCE_DIR};QUENLAR_BINARY_DIR=${CMAKE_BINARY_DIR}"
    TIMEOUT 900)
endfunction()
