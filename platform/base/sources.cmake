target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/codepage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/format.cpp
  ${CMAKE_CURRENT_LIST_DIR}/last_error.cpp
  ${CMAKE_CURRENT_LIST_DIR}/machine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/name_space.cpp
  ${CMAKE_CURRENT_LIST_DIR}/strings.cpp
)
