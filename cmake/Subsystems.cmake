# One static library per folder under src/ (zd_<folder>), built from every
# .cpp file in it, so that each subsystem builds and tests on its own.
function(zd_subsystem name)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp)
  if(sources)
    add_library(zd_${name} STATIC ${sources})
    target_include_directories(zd_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(zd_${name} PUBLIC ${ARG_DEPENDS})
    target_compile_definitions(zd_${name} PUBLIC
      ZODAVIZI_VERSION="${PROJECT_VERSION}")
  else()
    add_library(zd_${name} INTERFACE)
    target_include_directories(zd_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(zd_${name} INTERFACE ${ARG_DEPENDS})
  endif()
endfunction()

# One GoogleTest program per folder under tests/ (test_<folder>).
function(zd_test_folder name)
  cmake_parse_arguments(ARG "" "" "LINK" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp)
  if(sources)
    add_executable(test_${name} ${sources})
    target_include_directories(test_${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(test_${name} PRIVATE ${ARG_LINK} GTest::gtest GTest::gmock GTest::gtest_main)
    target_compile_definitions(test_${name} PRIVATE
      ZD_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
      ZD_BINARY_DIR="${PROJECT_BINARY_DIR}")
    gtest_discover_tests(test_${name} DISCOVERY_TIMEOUT 60
      PROPERTIES ENVIRONMENT "ZODAVIZI_UPNP=off")
  endif()
endfunction()
