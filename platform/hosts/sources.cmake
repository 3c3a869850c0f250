# The outside programs. Each host is a library of its own over libplatform, linked by the tools and tests that
# play it, so libplatform itself stays free of their dependencies.
if(NOT KQ_FUZZ)
  include(${CMAKE_CURRENT_LIST_DIR}/wordproc/wordproc.cmake)
endif()
