# Store and read-back throughput of the repository library beside the raw codecs.
add_executable(bench_rep_throughput ${CMAKE_CURRENT_LIST_DIR}/rep_throughput.cpp
                                    ${CMAKE_CURRENT_LIST_DIR}/RepCodecReference.cpp)
target_link_libraries(bench_rep_throughput PRIVATE TavRep tavplatform ZLIB::ZLIB OpenSSL::Crypto
                      PkgConfig::LIBDEFLATE)
