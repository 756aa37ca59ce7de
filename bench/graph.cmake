# Graph decimation: per-pixel min/max envelopes of a long series from the
# summary, against one scan of the points in view.
if(TARGET qd40_records)
  add_executable(graph_bench ${CMAKE_CURRENT_LIST_DIR}/graph_bench.cpp)
  target_link_libraries(graph_bench PRIVATE qd40_records benchmark::benchmark)
endif()
