# Shared build rules: warnings, sanitizers, and quill_library(), which turns a folder
# into one static library with its tests (tests/*.cpp) and fuzz targets (fuzz/*.cpp).

set(QM_WARNINGS -Wall -Wextra)
if(QM_WERROR)
  list(APPEND QM_WARNINGS -Werror)
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
  target_compile_options(${name} PRIVATE ${QM_WARNINGS})
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
