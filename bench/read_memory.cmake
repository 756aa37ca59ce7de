# Storage memory reading into a document over a paced RTU line, against the
# wire time of its frames.
if(TARGET qd40_appcore AND TARGET qd40_ctl_daemon AND TARGET qd40_testsupport)
  add_executable(read_memory_bench ${CMAKE_CURRENT_LIST_DIR}/read_memory_bench.cpp)
  target_link_libraries(read_memory_bench PRIVATE qd40_appcore qd40_ctl_daemon qd40_testsupport
                        benchmark::benchmark)
  add_dependencies(read_memory_bench ovixqd40svr qd40sim)
endif()
