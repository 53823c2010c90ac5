# Windows (MinGW-w64) build: the product exe, its testing flavor, the
# Windows unit tests and the end-to-end scenarios, run under Wine. i686 is
# the architecture that ships; an x86_64 tree of the same sources runs the
# tests where the machine cannot execute 32-bit code (wine64, win64 prefix).
# The TLS build takes its dependencies (libcurl with Schannel) from a prefix
# of its own, QMX_TLS_DEPS_PREFIX; the plain build's prefix is never used for it.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(QMX_WIN_ARCH x64)
  set(qmx_deps_arch x86_64)
  set(qmx_deps_flag "--x64 ")
else()
  set(QMX_WIN_ARCH x86)
  set(qmx_deps_arch i686)
  set(qmx_deps_flag "")
endif()
if(QMX_TLS)
  if(NOT QMX_TLS_DEPS_PREFIX)
    set(QMX_TLS_DEPS_PREFIX ${CMAKE_SOURCE_DIR}/.cache/deps/${qmx_deps_arch}-tls)
  endif()
  set(QMX_DEPS_PREFIX ${QMX_TLS_DEPS_PREFIX})
  set(qmx_deps_stamp .complete-tls-v2)
  set(qmx_deps_command "tools/build-deps.sh ${qmx_deps_flag}--tls")
else()
  if(NOT QMX_DEPS_PREFIX)
    set(QMX_DEPS_PREFIX ${CMAKE_SOURCE_DIR}/.cache/deps/${qmx_deps_arch})
  endif()
  set(qmx_deps_stamp .complete-v3)
  set(qmx_deps_command "tools/build-deps.sh ${qmx_deps_flag}")
endif()
if(NOT EXISTS ${QMX_DEPS_PREFIX}/${qmx_deps_stamp})
  message(FATAL_ERROR "Windows dependencies missing in ${QMX_DEPS_PREFIX}: run ${qmx_deps_command}")
endif()

add_library(dep_tinyxml2 STATIC IMPORTED)
set_target_properties(dep_tinyxml2 PROPERTIES IMPORTED_LOCATION ${QMX_DEPS_PREFIX}/lib/libtinyxml2.a
  INTERFACE_INCLUDE_DIRECTORIES ${QMX_DEPS_PREFIX}/include)
add_library(dep_curl STATIC IMPORTED)
set_target_properties(dep_curl PROPERTIES IMPORTED_LOCATION ${QMX_DEPS_PREFIX}/lib/libcurl.a
  INTERFACE_INCLUDE_DIRECTORIES ${QMX_DEPS_PREFIX}/include
  INTERFACE_COMPILE_DEFINITIONS CURL_STATICLIB
  INTERFACE_LINK_LIBRARIES "bcrypt;advapi32;crypt32;ws2_32")
add_library(dep_hidapi STATIC IMPORTED)
set_target_properties(dep_hidapi PROPERTIES IMPORTED_LOCATION ${QMX_DEPS_PREFIX}/lib/libhidapi.a
  INTERFACE_INCLUDE_DIRECTORIES ${QMX_DEPS_PREFIX}/include
  INTERFACE_LINK_LIBRARIES "setupapi;hid;cfgmgr32")

# Static runtime: no DLL beside the exe beyond the system's.
set(QMX_STATIC_LINK -static -static-libgcc -static-libstdc++)
# oleacc, ole32, oleaut32, uuid: the popup's accessible objects.
set(QMX_WIN_LIBS comctl32 setupapi shell32 user32 gdi32 kernel32 advapi32 winhttp bcrypt
                 oleacc ole32 oleaut32 uuid)
add_compile_definitions(UNICODE _UNICODE WINVER=0x0601 _WIN32_WINNT=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)
if(QMX_TLS)
  add_compile_definitions(QMX_TLS)
  # QueryContextAttributesW for the server's certificate (tls_check_win.cpp).
  list(APPEND QMX_WIN_LIBS secur32)
endif()
# Every function and data item in a section of its own, so that the release
# link can drop what nothing calls.
add_compile_options(-ffunction-sections -fdata-sections)

add_library(qmxcore STATIC ${QMX_ALL_SOURCES})
# Optimised for size except where time is spent: the installer transfer,
# the file writes and the digests get QMX_HOT_OPTIMIZE (make bench).
set(QMX_HOT_SOURCES ${CMAKE_SOURCE_DIR}/src/net/transfer.cpp ${CMAKE_SOURCE_DIR}/src/net/document.cpp
                    ${CMAKE_SOURCE_DIR}/src/net/installer.cpp ${CMAKE_SOURCE_DIR}/src/download/md5.cpp
                    ${CMAKE_SOURCE_DIR}/src/support/file_ex.cpp
                    ${CMAKE_SOURCE_DIR}/src/download/digest_pair_win.cpp)
set(QMX_SIZE_SOURCES ${QMX_ALL_SOURCES})
list(REMOVE_ITEM QMX_SIZE_SOURCES ${QMX_HOT_SOURCES})
set_source_files_properties(${QMX_SIZE_SOURCES} PROPERTIES COMPILE_OPTIONS -Os)
set_source_files_properties(${QMX_HOT_SOURCES} PROPERTIES COMPILE_OPTIONS "${QMX_HOT_OPTIMIZE}")
target_include_directories(qmxcore PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/resources
                           ${QMX_DEPS_PREFIX}/include)
target_compile_options(qmxcore PRIVATE ${QMX_WARNINGS})
target_link_libraries(qmxcore PUBLIC dep_curl dep_tinyxml2 ${QMX_WIN_LIBS})

set(QMX_RC ${CMAKE_SOURCE_DIR}/resources/qmx.rc)
# The resource compiler does not report the files the script pulls in: a
# changed string table or bitmap must rebuild the resources too.
file(GLOB QMX_RC_INPUTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/strings/*.xml
     ${CMAKE_SOURCE_DIR}/resources/art/*)
set_source_files_properties(${QMX_RC} PROPERTIES OBJECT_DEPENDS
  "${CMAKE_BINARY_DIR}/generated/qmx.manifest;${CMAKE_BINARY_DIR}/generated/qmx_version.h;${QMX_RC_INPUTS}")

# The product.
add_executable(QmxAssistant WIN32 ${QMX_ENTRY} ${QMX_REAL_SEAMS} ${QMX_RC})
target_compile_options(QmxAssistant PRIVATE ${QMX_WARNINGS})
target_link_libraries(QmxAssistant PRIVATE qmxcore dep_hidapi ${QMX_STATIC_LINK} -municode)
# The shipped exe: unused sections dropped, symbols stripped (-s).
target_link_options(QmxAssistant PRIVATE -Wl,--gc-sections -s)
# Its size after every link, so that growth is seen, and whether a signing
# key is built in, so that a release cannot lose it unnoticed.
add_custom_command(TARGET QmxAssistant POST_BUILD
  COMMAND ${CMAKE_COMMAND} -DQMX_EXE=$<TARGET_FILE:QmxAssistant>
          "-DQMX_KEY_NOTE=${QMX_SIGNING_KEY_NOTE}" -P ${CMAKE_SOURCE_DIR}/cmake/exe-size.cmake
  VERBATIM)
# What the product exe is without running it: architecture, GUI subsystem,
# system DLLs only, size, manifest and version resource (label "exe": the
# shipped i686 exe is checked this way on every machine).
find_package(Python3 COMPONENTS Interpreter REQUIRED)
if(NOT QMX_TLS)
  add_test(NAME windows.exe
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/check-exe.py $<TARGET_FILE:QmxAssistant>
                   --arch ${QMX_WIN_ARCH} --version ${PROJECT_VERSION})
  set_tests_properties(windows.exe PROPERTIES LABELS exe)
endif()
set_source_files_properties(${CMAKE_SOURCE_DIR}/src/config/server_address.cpp PROPERTIES
  COMPILE_DEFINITIONS "QMX_SERVER_BASE=L\"${QMX_SERVER_BASE}\"")
set_source_files_properties(${CMAKE_SOURCE_DIR}/src/download/signing_key.cpp PROPERTIES
  COMPILE_DEFINITIONS "QMX_SIGNING_KEY=\"${QMX_SIGNING_KEY}\"")

# Simulated remotes and the server address override, shared by the testing
# flavor of the exe and the Windows unit tests.
file(GLOB QMX_SIM_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/sim/*.cpp)
if(QMX_SIM_SOURCES)
  add_library(qmxsim STATIC ${QMX_SIM_SOURCES})
  target_link_libraries(qmxsim PUBLIC qmxcore)
  target_compile_options(qmxsim PRIVATE ${QMX_WARNINGS})

  add_executable(QmxAssistantSim WIN32 ${QMX_ENTRY} ${QMX_RC})
  target_compile_options(QmxAssistantSim PRIVATE ${QMX_WARNINGS})
  target_link_libraries(QmxAssistantSim PRIVATE -Wl,--whole-archive qmxsim -Wl,--no-whole-archive
                        qmxcore ${QMX_STATIC_LINK} -municode)
endif()

# GoogleTest from Debian's sources, cross-compiled.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

file(GLOB QMX_UNIT_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*_test.cpp)
add_executable(qmx_unit_win ${QMX_UNIT_TESTS} ${QMX_RC})
target_compile_options(qmx_unit_win PRIVATE ${QMX_WARNINGS})
target_compile_definitions(qmx_unit_win PRIVATE QMX_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
if(QMX_SIM_SOURCES)
  target_link_libraries(qmx_unit_win PRIVATE -Wl,--whole-archive qmxsim -Wl,--no-whole-archive)
endif()
target_link_libraries(qmx_unit_win PRIVATE qmxcore gtest gtest_main ${QMX_STATIC_LINK})
# Signature fixtures, made fresh with OpenSSL at build time (no key or
# signature is committed); the signature tests read them from this folder.
set(QMX_SIGNATURE_FIXTURES ${CMAKE_BINARY_DIR}/signature-fixtures)
add_custom_command(OUTPUT ${QMX_SIGNATURE_FIXTURES}/signed.sig
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/signing/openssl_signing.py fixtures
          ${QMX_SIGNATURE_FIXTURES}
  DEPENDS ${CMAKE_SOURCE_DIR}/tests/signing/openssl_signing.py
  COMMENT "signature fixtures (fresh P-256 key, OpenSSL)")
add_custom_target(qmx_signature_fixtures DEPENDS ${QMX_SIGNATURE_FIXTURES}/signed.sig)
add_dependencies(qmx_unit_win qmx_signature_fixtures)
target_compile_definitions(qmx_unit_win PRIVATE QMX_SIGNATURE_FIXTURES="Z:${QMX_SIGNATURE_FIXTURES}")
# A TLS tree's tests are the HTTPS scenarios only; the unit tests run in the
# plain tree.
if(NOT QMX_TLS)
  add_test(NAME windows.unit
           COMMAND ${CMAKE_COMMAND} -E env QMX_WINDOWS_ARCH=${QMX_WIN_ARCH}
                   ${CMAKE_SOURCE_DIR}/tools/run-win-unit.sh $<TARGET_FILE:qmx_unit_win>)
  set_tests_properties(windows.unit PROPERTIES RESOURCE_LOCK wine TIMEOUT 900)
endif()

foreach(extra tests/standin tests/e2e tools publisher bench packaging)
  if(EXISTS ${CMAKE_SOURCE_DIR}/${extra}/CMakeLists.txt)
    add_subdirectory(${CMAKE_SOURCE_DIR}/${extra} ${CMAKE_BINARY_DIR}/${extra})
  endif()
endforeach()
