# OPC publication: one update of 300 tags (30 channels on each of 10
# simulated modules) through the node-opcua process, against the module
# reads of the same update alone.
if(TARGET qd40_opc AND TARGET qd40_testsupport)
  add_executable(opc_bench ${CMAKE_CURRENT_LIST_DIR}/opc_bench.cpp)
  target_link_libraries(opc_bench PRIVATE qd40_opc qd40_ctl_daemon qd40_testsupport
                                          benchmark::benchmark)
  target_compile_definitions(opc_bench PRIVATE
    QD40_OPC_SIDECAR_DIR="${PROJECT_SOURCE_DIR}/app/opc_sidecar"
    QD40_BENCH_DIR="${CMAKE_CURRENT_LIST_DIR}")
  add_dependencies(opc_bench qd40sim ovixqd40svr)
endif()
