# Communication server: what the daemon adds to a call, and whole transfers,
# each against raw libmodbus on the same simulator in the same run.
if(TARGET qd40_client AND TARGET qd40_testsupport)
  add_executable(server_bench server_bench.cpp)
  target_link_libraries(server_bench PRIVATE qd40_testsupport qd40_client qd40_server_core
                        PkgConfig::MODBUS benchmark::benchmark)
  add_dependencies(server_bench ovixqd40svr qd40sim)
endif()
