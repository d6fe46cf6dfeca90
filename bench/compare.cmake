# Reference figures over a folder tree for bench/compare.sh: a stat walk, and read + deflate
# + AES + MD5 on one and two threads.
add_executable(bench_tree_pipeline ${CMAKE_CURRENT_LIST_DIR}/tree_pipeline.cpp)
target_link_libraries(bench_tree_pipeline PRIVATE TavRep tavplatform OpenSSL::Crypto PkgConfig::LIBDEFLATE
                      Threads::Threads)
