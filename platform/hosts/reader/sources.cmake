# The reader application: its plug-in interface tables, menus, toolbar, documents and languages, in libplatform.
file(GLOB KQ_READER_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
target_sources(platform PRIVATE ${KQ_READER_SOURCES})
target_link_libraries(platform PRIVATE ${CMAKE_DL_LIBS})
if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/tests/CMakeLists.txt)
  add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/tests ${CMAKE_CURRENT_BINARY_DIR}/hosts/reader/tests)
endif()
