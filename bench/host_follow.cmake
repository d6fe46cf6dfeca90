# A follower of a running command host (bench/cmdhost_follow.sh).
add_executable(bench_host_follow ${CMAKE_CURRENT_LIST_DIR}/host_follow.cpp)
target_link_libraries(bench_host_follow PRIVATE tavhostlink)
