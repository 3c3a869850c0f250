find_package(Freetype REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(KQ_CAIRO REQUIRED IMPORTED_TARGET cairo)
pkg_check_modules(KQ_PIXMAN REQUIRED IMPORTED_TARGET pixman-1)
pkg_check_modules(KQ_FRIBIDI REQUIRED IMPORTED_TARGET fribidi)
pkg_check_modules(KQ_HARFBUZZ REQUIRED IMPORTED_TARGET harfbuzz)
pkg_check_modules(KQ_FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/brush_object.cpp
  ${CMAKE_CURRENT_LIST_DIR}/clip_object.cpp
  ${CMAKE_CURRENT_LIST_DIR}/color_format.cpp
  ${CMAKE_CURRENT_LIST_DIR}/color_glyphs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/draw_blend.cpp
  ${CMAKE_CURRENT_LIST_DIR}/draw_blits.cpp
  ${CMAKE_CURRENT_LIST_DIR}/draw_gradient.cpp
  ${CMAKE_CURRENT_LIST_DIR}/draw_paths.cpp
  ${CMAKE_CURRENT_LIST_DIR}/draw_record.cpp
  ${CMAKE_CURRENT_LIST_DIR}/draw_target.cpp
  ${CMAKE_CURRENT_LIST_DIR}/draw_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/engine_state.cpp
  ${CMAKE_CURRENT_LIST_DIR}/font_face.cpp
  ${CMAKE_CURRENT_LIST_DIR}/font_families.cpp
  ${CMAKE_CURRENT_LIST_DIR}/font_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/installed_fonts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/font_metrics.cpp
  ${CMAKE_CURRENT_LIST_DIR}/glyph_outline.cpp
  ${CMAKE_CURRENT_LIST_DIR}/glyph_spans.cpp
  ${CMAKE_CURRENT_LIST_DIR}/glyph_set.cpp
  ${CMAKE_CURRENT_LIST_DIR}/line_attributes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/palettes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/path_data.cpp
  ${CMAKE_CURRENT_LIST_DIR}/path_object.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pixels.cpp
  ${CMAKE_CURRENT_LIST_DIR}/raster.cpp
  ${CMAKE_CURRENT_LIST_DIR}/realized_font.cpp
  ${CMAKE_CURRENT_LIST_DIR}/region.cpp
  ${CMAKE_CURRENT_LIST_DIR}/surfaces.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text_layout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text_string.cpp
  ${CMAKE_CURRENT_LIST_DIR}/xform.cpp
  ${CMAKE_CURRENT_LIST_DIR}/xlate_object.cpp
)
target_link_libraries(platform PRIVATE Freetype::Freetype PkgConfig::KQ_CAIRO PkgConfig::KQ_PIXMAN
                      PkgConfig::KQ_FRIBIDI PkgConfig::KQ_HARFBUZZ PkgConfig::KQ_FONTCONFIG)
# The DDI host and the application side.
target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/app_device_context.cpp
  ${CMAKE_CURRENT_LIST_DIR}/app_draw_images.cpp
  ${CMAKE_CURRENT_LIST_DIR}/app_draw_shapes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/app_draw_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/app_drawing.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ddi_host_device.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ddi_host_dispatch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ddi_host_library.cpp
)
target_link_libraries(platform PRIVATE ${CMAKE_DL_LIBS})
