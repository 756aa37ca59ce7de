# qd40sim: MODBUS/TCP transactions per second against a minimal libmodbus server.
if(TARGET qd40sim AND TARGET qd40_testsupport)
  add_executable(sim_bench ${CMAKE_CURRENT_LIST_DIR}/sim_bench.cpp)
  target_link_libraries(sim_bench PRIVATE qd40_testsupport PkgConfig::MODBUS benchmark::benchmark)
  add_dependencies(sim_bench qd40sim)
endif()
