if(NOT KQ_FUZZ)
  # The browsers of the stand-in machine: kqbrowsers registers their plug-in folders as the browsers' own setups do.
  add_executable(kqbrowsers ${CMAKE_CURRENT_LIST_DIR}/browsers_main.cpp)
  target_link_libraries(kqbrowsers PRIVATE platform kq_options)
endif()
