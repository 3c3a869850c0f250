find_package(SQLite3 REQUIRED)
target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/key_handles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/registry_api.cpp
  ${CMAKE_CURRENT_LIST_DIR}/registry_narrow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/registry_store.cpp
  ${CMAKE_CURRENT_LIST_DIR}/state_database.cpp
)
# The platform's own rooms include each other's private headers as "registry/...".
target_include_directories(platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(platform PRIVATE SQLite::SQLite3)
