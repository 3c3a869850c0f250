# The class library is linked into each module that is written in it, so every module keeps its own module object,
# class factories and resources.
if(NOT KQ_FUZZ)
  add_library(kq_classlib STATIC
    ${CMAKE_CURRENT_LIST_DIR}/core.cpp
    ${CMAKE_CURRENT_LIST_DIR}/docview.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ole_items.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ole_control.cpp)
  target_link_libraries(kq_classlib PUBLIC platform PRIVATE kq_options)
endif()
