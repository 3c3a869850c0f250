target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/gdi_objects.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gdi_dibs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gdi_paint.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gdi_resources.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gdi_text.cpp
)
