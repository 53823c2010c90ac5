# Host (Linux) build: the portable code, its unit tests, fuzzers and tools.
find_package(PkgConfig REQUIRED)
pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
pkg_check_modules(TINYXML2 REQUIRED IMPORTED_TARGET tinyxml2)
find_package(GTest REQUIRED)
find_package(Threads REQUIRED)

if(QMX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

add_library(qmxcore STATIC ${QMX_ALL_SOURCES})
target_include_directories(qmxcore PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_compile_options(qmxcore PRIVATE ${QMX_WARNINGS})
target_link_libraries(qmxcore PUBLIC PkgConfig::CURL PkgConfig::TINYXML2 Threads::Threads)

file(GLOB QMX_UNIT_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*_test.cpp)
list(FILTER QMX_UNIT_TESTS EXCLUDE REGEX "_win_test\\.cpp$")
add_executable(qmx_unit_host ${QMX_UNIT_TESTS})
target_compile_options(qmx_unit_host PRIVATE ${QMX_WARNINGS})
target_compile_definitions(qmx_unit_host PRIVATE QMX_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
target_link_libraries(qmx_unit_host PRIVATE qmxcore GTest::gtest GTest::gtest_main)
add_test(NAME host.unit COMMAND qmx_unit_host)
set_tests_properties(host.unit PROPERTIES ENVIRONMENT "QMX_SOURCE_DIR=${CMAKE_SOURCE_DIR}")

# No include in src/ climbs a floor (QMX_LAYERS at the top of CMakeLists.txt).
find_package(Python3 COMPONENTS Interpreter REQUIRED)
add_test(NAME host.layers
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/check-layers.py --src ${CMAKE_SOURCE_DIR}/src
                 --layers ${QMX_LAYERS} --chain ${QMX_EVENT_CHAIN})
# ... and the check itself fails on each way an include could slip past it.
add_test(NAME host.layers.check COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/check_layers_test.py)

# The Group Policy templates name what the policy reader reads, and every
# language defines what the ADMX names.
add_test(NAME host.policy_templates
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/check-policy-templates.py
                 --src ${CMAKE_SOURCE_DIR}/src --templates ${CMAKE_SOURCE_DIR}/packaging/policy)

# Optional pieces added by their own folders.
foreach(extra tests/host tools publisher bench)
  if(EXISTS ${CMAKE_SOURCE_DIR}/${extra}/CMakeLists.txt)
    add_subdirectory(${CMAKE_SOURCE_DIR}/${extra} ${CMAKE_BINARY_DIR}/${extra})
  endif()
endforeach()
