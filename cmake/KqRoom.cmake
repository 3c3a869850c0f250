# Shared compile settings and the helpers every room uses.

add_library(kq_options INTERFACE)
target_compile_options(kq_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
  -Wno-missing-field-initializers)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  # GCC 12 at -O3 reports overlapping copies inside std::string's operator+ that cannot happen.
  target_compile_options(kq_options INTERFACE -Wno-restrict)
endif()
if(KQ_WERROR)
  target_compile_options(kq_options INTERFACE -Werror)
endif()
if(KQ_SANITIZE)
  # float-cast-overflow: positions worked out in floating point must not wrap when they become integers.
  target_compile_options(kq_options INTERFACE -fsanitize=address,undefined,float-cast-overflow -fno-omit-frame-pointer
    -fno-sanitize-recover=undefined,float-cast-overflow)
  target_link_options(kq_options INTERFACE -fsanitize=address,undefined,float-cast-overflow)
endif()

# kq_add_test(NAME name SOURCES a.cpp b.cpp LIBS lib1 lib2 [LABELS l])
# One GoogleTest program per room (or per closely knit group), registered with CTest.
function(kq_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT KQ_TESTS)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main kq_options)
  target_compile_definitions(${T_NAME} PRIVATE KQ_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    KQ_BINARY_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${T_LABELS}")
endfunction()
