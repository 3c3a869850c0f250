# The outside programs: each host's folder adds its sources to libplatform, and its program, through its own
# sources.cmake.
file(GLOB KQ_HOST_ROOMS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*/sources.cmake)
foreach(host_room IN LISTS KQ_HOST_ROOMS)
  include(${host_room})
endforeach()
