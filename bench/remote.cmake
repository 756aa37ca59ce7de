# Remote access: a call over TLS on loopback against the same call over the
# daemon's Unix socket, in one run.
if(TARGET qd40_client AND TARGET qd40_remote AND TARGET qd40_testsupport)
  add_executable(remote_bench remote_bench.cpp)
  target_link_libraries(remote_bench PRIVATE qd40_testsupport qd40_client qd40_remote
                        benchmark::benchmark)
  add_dependencies(remote_bench ovixqd40svr qd40sim)
endif()
