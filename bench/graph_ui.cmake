# The graph window offscreen: first display of a large block and a redraw
# after a zoom, against drawing a full-width series per channel.
if(TARGET qd40_ui_graph)
  add_executable(graph_ui_bench ${CMAKE_CURRENT_LIST_DIR}/graph_ui_bench.cpp)
  target_link_libraries(graph_ui_bench PRIVATE qd40_ui_graph benchmark::benchmark)
endif()
