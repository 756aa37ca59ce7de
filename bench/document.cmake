# Documents: opening and saving a large document against reading and writing
# the same bytes with plain file calls.
if(TARGET qd40_appcore)
  add_executable(document_bench ${CMAKE_CURRENT_LIST_DIR}/document_bench.cpp)
  target_link_libraries(document_bench PRIVATE qd40_appcore benchmark::benchmark)
endif()
