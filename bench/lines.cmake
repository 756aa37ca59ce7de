# Lines served side by side: several modules read at once through one daemon
# against one module read alone, in the same run.
if(TARGET qd40_client AND TARGET qd40_testsupport)
  add_executable(lines_bench lines_bench.cpp)
  target_link_libraries(lines_bench PRIVATE qd40_testsupport qd40_client benchmark::benchmark)
  add_dependencies(lines_bench ovixqd40svr qd40sim)
endif()
