# The records explorer's list: rows produced by the table model against the
# same rows formatted straight from the block.
if(TARGET qd40_records_models)
  add_executable(explorer_bench ${CMAKE_CURRENT_LIST_DIR}/explorer_bench.cpp)
  target_link_libraries(explorer_bench PRIVATE qd40_records_models benchmark::benchmark)
endif()
