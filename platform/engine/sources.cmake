find_package(Freetype REQUIRED)
target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/engine_state.cpp
  ${CMAKE_CURRENT_LIST_DIR}/palettes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/surfaces.cpp
)
target_link_libraries(platform PRIVATE Freetype::Freetype)
