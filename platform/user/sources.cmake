# Every source file of the room goes into libplatform.
file(GLOB KQ_USER_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
target_sources(platform PRIVATE ${KQ_USER_SOURCES})
