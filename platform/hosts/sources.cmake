# Each host program of the stand-in is a folder of its own with a sources.cmake.
file(GLOB KQ_HOST_ROOMS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*/sources.cmake)
foreach(host_room IN LISTS KQ_HOST_ROOMS)
  include(${host_room})
endforeach()
