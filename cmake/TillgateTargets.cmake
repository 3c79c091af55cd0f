# Helpers shared by every folder's CMakeLists.txt.

# tillgate_library(<name> SOURCES ... [DEPS ...])
# A core library: plain C++, includes resolved from the repository root.
function(tillgate_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# tillgate_test(<name> SOURCES ... [POSIX_SOURCES ...] [DEPS ...] [POSIX_DEPS ...]
#               [LABELS ...] [TIMEOUT s])
# One GoogleTest binary registered as one CTest test. Label "core" marks tests
# that also run in the sanitizer build; "gui" marks window tests.
# POSIX_SOURCES need POSIX test support (pseudo-terminals, programs run as
# children, Debian's dbfread) or what only POSIX has (permission bits,
# symbolic links), and POSIX_DEPS bring it: both are left out of the Windows
# build, and a test left with no source is not made there.
function(tillgate_test name)
  if(NOT TILLGATE_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;POSIX_SOURCES;DEPS;POSIX_DEPS;LABELS" ${ARGN})
  if(NOT WIN32)
    list(APPEND ARG_SOURCES ${ARG_POSIX_SOURCES})
    list(APPEND ARG_DEPS ${ARG_POSIX_DEPS})
  endif()
  if(NOT ARG_SOURCES)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  # A build may compile the tests' own sources apart from the code they
  # test (the Windows build: unoptimised, which halves their compile time).
  if(TILLGATE_TEST_COMPILE_OPTIONS)
    target_compile_options(${name} PRIVATE ${TILLGATE_TEST_COMPILE_OPTIONS})
  endif()
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "TILLGATE_SOURCE_DIR=${PROJECT_SOURCE_DIR};TILLGATE_BINARY_DIR=${PROJECT_BINARY_DIR}")
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()

# tillgate_fuzzer(<name> SOURCES ... [DEPS ...] [SECONDS n])
# A libFuzzer target, built only with TILLGATE_FUZZ; CTest runs it briefly
# under the "fuzz" label.
function(tillgate_fuzzer name)
  if(NOT TILLGATE_FUZZ)
    return()
  endif()
  cmake_parse_arguments(ARG "" "SECONDS" "SOURCES;DEPS" ${ARGN})
  if(NOT ARG_SECONDS)
    set(ARG_SECONDS 20)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
  file(MAKE_DIRECTORY ${corpus})
  add_test(NAME ${name} COMMAND ${name} -max_total_time=${ARG_SECONDS} -rss_limit_mb=2048 ${corpus})
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 600)
endfunction()
