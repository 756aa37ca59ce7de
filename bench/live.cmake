# The measurements display scanning ten simulated modules, against the bare
# cycle reads it makes.
if(TARGET qd40_live AND TARGET qd40_ctl_daemon AND TARGET qd40_testsupport
   AND TARGET qd40_appcore_testsupport)
  add_executable(live_bench ${CMAKE_CURRENT_LIST_DIR}/live_bench.cpp)
  target_link_libraries(live_bench PRIVATE qd40_live qd40_appcore_testsupport qd40_ctl_daemon
                        qd40_testsupport benchmark::benchmark)
  add_dependencies(live_bench ovixqd40svr qd40sim)
endif()
