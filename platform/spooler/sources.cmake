target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/builtin_forms.cpp
  ${CMAKE_CURRENT_LIST_DIR}/config_module.cpp
  ${CMAKE_CURRENT_LIST_DIR}/driver_config_store.cpp
  ${CMAKE_CURRENT_LIST_DIR}/spooler_api.cpp
  ${CMAKE_CURRENT_LIST_DIR}/spooler_store.cpp
)
