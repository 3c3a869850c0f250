# Every source file of the room goes into libplatform.
file(GLOB KQ_COM_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
target_sources(platform PRIVATE ${KQ_COM_SOURCES})
target_link_libraries(platform PRIVATE ${CMAKE_DL_LIBS})
