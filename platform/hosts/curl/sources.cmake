# The transfer tool as a program of the stand-in: build/lib/curl/curl.exe, which is where the upload plug-in looks
# for it beside itself. It runs the host's curl with the Windows paths of its form fields made host paths.
if(NOT KQ_FUZZ)
  add_executable(kq_curl_tool ${CMAKE_CURRENT_LIST_DIR}/curl_tool.cpp)
  target_link_libraries(kq_curl_tool PRIVATE platform kq_options)
  set_target_properties(kq_curl_tool PROPERTIES OUTPUT_NAME curl.exe
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib/curl)
endif()
