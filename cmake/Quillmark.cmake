# Shared build rules: warnings, sanitizers, and quill_library(), which turns a folder
# into one static library with its tests (tests/*.cpp) and fuzz targets (fuzz/*.cpp).

set(QM_WARNINGS -Wall -Wextra)
# GCC 12's optimizer reports string copies inside the standard headers that cannot overlap
# (-Wrestrict) and optional vectors it takes for uninitialized (-Wmaybe-uninitialized): false
# reports that appear only in optimized builds, so those builds leave these two out.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13
   AND NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
  list(APPEND QM_WARNINGS -Wno-restrict -Wno-maybe-uninitialized)
endif()
if(QM_WERROR)
  list(APPEND QM_WARNINGS -Werror)
endif()

# A fuzz build (clang) gives the libraries libFuzzer's coverage too, so that the fuzzer sees the
# parsers and not only its harness. It always runs with the sanitizers, whose runtime also
# answers the coverage hooks in the tests and tools that link those libraries.
set(QM_FUZZ_COVERAGE "")
if(QM_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang" OR NOT CMAKE_C_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "QM_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang")
  endif()
  set(QM_SANITIZE ON)
  set(QM_FUZZ_COVERAGE -fsanitize=fuzzer-no-link)
endif()

if(QM_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# quill_library(<name> [DEPS targets...] [SOURCES extra...])
# Sources are the folder's own *.cpp files (not its subfolders). Tests in tests/*.cpp link
# the library, TEST_DEPS (for example the shared fixtures, target "testing") and GoogleTest's main.
function(quill_library name)
  cmake_parse_arguments(Q "" "" "DEPS;SOURCES;TEST_DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  if(NOT srcs AND NOT Q_SOURCES)
    # A folder whose sources are still to come configures as an empty library.
    set(srcs ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(${name} STATIC ${srcs} ${Q_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${QM_WARNINGS} ${QM_FUZZ_COVERAGE})
  target_link_libraries(${name} PUBLIC ${Q_DEPS})

  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cpp)
  if(tests)
    add_executable(${name}_tests ${tests})
    target_compile_options(${name}_tests PRIVATE ${QM_WARNINGS})
    target_link_libraries(${name}_tests PRIVATE ${name} ${Q_TEST_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
    gtest_discover_tests(${name}_tests DISCOVERY_MODE PRE_TEST
      PROPERTIES ENVIRONMENT "QM_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  endif()

  file(GLOB fuzzers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/*.cpp)
  # With QM_FUZZ (clang) each target is a libFuzzer binary. Otherwise it is linked with a
  # small driver that replays its corpus and a fixed number of mutated inputs, and runs as a test.
  foreach(f IN LISTS fuzzers)
    get_filename_component(fname ${f} NAME_WE)
    if(QM_FUZZ)
      add_executable(fuzz_${fname} ${f})
      target_compile_options(fuzz_${fname} PRIVATE -fsanitize=fuzzer)
      target_link_options(fuzz_${fname} PRIVATE -fsanitize=fuzzer)
    else()
      add_executable(fuzz_${fname} ${f} ${PROJECT_SOURCE_DIR}/cmake/fuzz_driver.cpp)
      add_test(NAME fuzz.${fname} COMMAND fuzz_${fname} ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/corpus/${fname})
    endif()
    target_compile_options(fuzz_${fname} PRIVATE ${QM_WARNINGS})
    target_link_libraries(fuzz_${fname} PRIVATE ${name})
  endforeach()
endfunction()
