# Every source file of the room goes into libplatform.
file(GLOB KQ_KERNEL_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
target_sources(platform PRIVATE ${KQ_KERNEL_SOURCES})
# Time zones come from the tz database through cctz.
find_library(KQ_CCTZ_LIBRARY cctz REQUIRED)
find_path(KQ_CCTZ_INCLUDE cctz/time_zone.h REQUIRED)
target_include_directories(platform PRIVATE ${KQ_CCTZ_INCLUDE})
target_link_libraries(platform PRIVATE ${KQ_CCTZ_LIBRARY})
