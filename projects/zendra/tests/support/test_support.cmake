# The production's test support, for its tests and benchmarks: a temporary folder laid out
# like the shipped one and the wait for the software device, on the framework's test
# support (fw_test_support), which its users get with it.
add_library(zendra_test_support STATIC
    ${CMAKE_CURRENT_LIST_DIR}/device_wait.cpp
    ${CMAKE_CURRENT_LIST_DIR}/shipped_folder.cpp)
target_include_directories(zendra_test_support PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
get_filename_component(zendra_test_support_project ${CMAKE_CURRENT_LIST_DIR}/../.. ABSOLUTE)
target_compile_definitions(zendra_test_support PRIVATE
    ZENDRA_PROJECT_DIR="${zendra_test_support_project}" ZENDRA_DATA_DIR="${ZENDRA_DATA_DIR}")
target_link_libraries(zendra_test_support PUBLIC fw fw_test_support Boost::filesystem)
