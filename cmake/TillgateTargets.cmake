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

# tillgate_fuzzer(<name> SOURCES ... [DEPS ...] MAX_LEN bytes [SECONDS n])
# A libFuzzer target, built only with TILLGATE_FUZZ. MAX_LEN bounds its
# inputs: the target rejects longer ones (its code sees it as
# TILLGATE_FUZZ_MAX_LEN) and the fuzzer makes none. Its seeds are
# fuzz/corpus/<name>/ in the repository. CTest runs it for SECONDS (10)
# under the "fuzz" label from them, keeping what it finds in a corpus in the
# build tree; scripts/fuzz runs every target listed in fuzz-targets.txt.
function(tillgate_fuzzer name)
  if(NOT TILLGATE_FUZZ)
    return()
  endif()
  cmake_parse_arguments(ARG "" "SECONDS;MAX_LEN" "SOURCES;DEPS" ${ARGN})
  if(NOT ARG_SECONDS)
    set(ARG_SECONDS 10)
  endif()
  if(NOT ARG_MAX_LEN)
    message(FATAL_ERROR "fuzz target ${name} needs MAX_LEN")
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_definitions(${name} PRIVATE TILLGATE_FUZZ_MAX_LEN=${ARG_MAX_LEN})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  set(seeds ${PROJECT_SOURCE_DIR}/fuzz/corpus/${name})
  if(NOT IS_DIRECTORY ${seeds})
    message(FATAL_ERROR "fuzz target ${name} has no seeds in ${seeds}")
  endif()
  set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
  file(MAKE_DIRECTORY ${corpus})
  add_test(NAME ${name} COMMAND ${name} -seed=1 -max_total_time=${ARG_SECONDS} -max_len=${ARG_MAX_LEN}
    -rss_limit_mb=2048 -artifact_prefix=${CMAKE_CURRENT_BINARY_DIR}/${name}- ${corpus} ${seeds})
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 600)
  set_property(GLOBAL APPEND PROPERTY TILLGATE_FUZZERS
    "${name} $<TARGET_FILE:${name}> ${ARG_MAX_LEN} ${seeds}")
endfunction()

# Writes fuzz-targets.txt in the build tree, one target a line: name, program,
# longest input, seed folder. Called once every folder has been added.
function(tillgate_fuzzer_list)
  if(NOT TILLGATE_FUZZ)
    return()
  endif()
  get_property(fuzzers GLOBAL PROPERTY TILLGATE_FUZZERS)
  list(JOIN fuzzers "\n" lines)
  file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/fuzz-targets.txt CONTENT "${lines}\n")
endfunction()
