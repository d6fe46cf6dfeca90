# The browser's model over a large repository: open, list a big folder, switch baselines.
if(TAV_BUILD_GUI)
    add_executable(bench_browser_model ${CMAKE_CURRENT_LIST_DIR}/browser_model.cpp)
    target_link_libraries(bench_browser_model PRIVATE browser_lib tavrestore)
endif()
# The Restore dialog's answer to "Stop" during a large restore.
if(TAV_BUILD_GUI)
    add_executable(bench_browser_stop ${CMAKE_CURRENT_LIST_DIR}/browser_stop.cpp)
    target_link_libraries(bench_browser_stop PRIVATE browser_lib)
endif()
