# The outside programs. A host whose sources belong in libplatform adds them, and its program, through its own
# sources.cmake; the word processor is a library of its own over libplatform, linked by the tools and tests that
# play it, so libplatform stays free of its dependencies.
file(GLOB KQ_HOST_ROOMS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*/sources.cmake)
foreach(host_room IN LISTS KQ_HOST_ROOMS)
  include(${host_room})
endforeach()
include(${CMAKE_CURRENT_LIST_DIR}/wordproc/wordproc.cmake)
