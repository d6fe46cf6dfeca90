# The editor's Files and Folders view: expanding a folder of 10,000 files, storing the check
# states of a 50,000-item tree.
if(TAV_BUILD_GUI)
    add_executable(bench_files_view ${CMAKE_CURRENT_LIST_DIR}/files_view.cpp)
    target_link_libraries(bench_files_view PRIVATE filesmodule_views)
endif()
