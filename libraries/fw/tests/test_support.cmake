# The framework's test support, for its own tests and the production's: the software
# device, the framework object with a temporary project tree, pictures read back from
# textures, image files and a sync device with settable tracks (resources/resources_support.h);
# the framework reset, a temporary working directory, counting scene and swap chain and the
# frame clocks (core/core_support.h). Read back below it: platform_d3d10_test_support.
add_library(fw_test_support STATIC
    ${CMAKE_CURRENT_LIST_DIR}/resources/resources_support.cpp
    ${CMAKE_CURRENT_LIST_DIR}/core/core_support.cpp)
target_include_directories(fw_test_support PUBLIC
    ${CMAKE_CURRENT_LIST_DIR}/resources ${CMAKE_CURRENT_LIST_DIR}/core)
get_filename_component(fw_test_support_root ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
target_compile_definitions(fw_test_support PRIVATE FW_SOURCE_ROOT="${fw_test_support_root}")
target_link_libraries(fw_test_support PUBLIC
    fw_resources platform_d3d10_test_support platform_win32 GTest::gtest Boost::filesystem)
