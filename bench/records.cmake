# Record blocks: raw record conversion, sort and spreadsheet export, each
# against its plain baseline in the same binary.
if(TARGET qd40_records)
  add_executable(records_bench ${CMAKE_CURRENT_LIST_DIR}/records_bench.cpp)
  target_link_libraries(records_bench PRIVATE qd40_records benchmark::benchmark)
endif()
