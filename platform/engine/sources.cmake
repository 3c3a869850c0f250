find_package(Freetype REQUIRED)
target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/drawing_pending.cpp
  ${CMAKE_CURRENT_LIST_DIR}/engine_state.cpp
  ${CMAKE_CURRENT_LIST_DIR}/font_face.cpp
  ${CMAKE_CURRENT_LIST_DIR}/font_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/font_metrics.cpp
  ${CMAKE_CURRENT_LIST_DIR}/glyph_set.cpp
  ${CMAKE_CURRENT_LIST_DIR}/palettes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/realized_font.cpp
  ${CMAKE_CURRENT_LIST_DIR}/surfaces.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text_string.cpp
  ${CMAKE_CURRENT_LIST_DIR}/xform.cpp
)
target_link_libraries(platform PRIVATE Freetype::Freetype)
# The DDI host and the application side.
target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/app_device_context.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ddi_host_device.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ddi_host_dispatch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ddi_host_library.cpp
)
target_link_libraries(platform PRIVATE ${CMAKE_DL_LIBS})
