# src/core        the framework object and its state, start-up, dialog, window, run loop, stereo
# tests/core      its tests and benchmarks, without and with a display
# tests/core/e2e  a small program on the framework, run end to end
#
# The framework's main road: start-up, the start dialog, window, device and presentation,
# the run loop and frame, camera variables, stereo, CUDA, screenshots and the framework's
# small operations (fw_core), and `fw`, the one target a production links.
#
# The framework's process-wide state: the static members of fw_Framework, and the one
# track read, which every reader of a sync track goes through. Every area links it.
add_library(fw_state STATIC src/core/fw_FrameworkState.cpp src/core/fw_SyncValue.cpp)
target_include_directories(fw_state PUBLIC src/core PRIVATE src/services)
target_link_libraries(fw_state PUBLIC platform_win32_types sync)

add_library(fw_core STATIC
    src/core/fw_Framework.cpp
    src/core/fw_StartDialog.cpp
    src/core/fw_Window.cpp
    src/core/fw_RunLoop.cpp
    src/core/fw_CameraVariables.cpp
    src/core/fw_Stereo.cpp
    src/core/fw_Screenshot.cpp
    src/core/fw_FrameworkHooks.cpp
    src/core/fw_DebugCameraHooks.cpp
)
target_include_directories(fw_core PUBLIC src/core)
target_link_libraries(fw_core PUBLIC
    fw_resources fw_scenes fw_services fw_state sync
    platform_d3d10 platform_d3dx10 platform_win32 platform_stereo platform_cuda
    Boost::filesystem Boost::system PRIVATE platform_regular_file)

add_library(fw INTERFACE)
target_link_libraries(fw INTERFACE fw_core fw_resources fw_services fw_scenes fw_state fw_utils
    fw_meshes fw_math fw_curves
    platform_win32 platform_d3d10 platform_d3dx10 platform_audio platform_crt platform_stereo platform_cuda
    platform_dbghelp)

if(ZENDRA_TESTS)
    set(core_test_dir ${CMAKE_CURRENT_SOURCE_DIR}/tests/core)
    # Without a display: roots, data paths, sizes, the frame timeline, camera variables.
    zendra_add_gtest(core_tests
        SOURCES tests/core/core_startup_tests.cpp tests/core/core_frame_tests.cpp
                tests/core/core_camera_tests.cpp tests/core/core_hooks_tests.cpp
        LIBS fw fw_test_support Boost::filesystem
        ENV ZENDRA_FW_SOURCE_ROOT=${CMAKE_CURRENT_SOURCE_DIR}
        DEPENDS services_fake_bass)
    # On the X display: the start dialog, the window procedure, device creation, present.
    zendra_add_gtest(core_display_tests
        SOURCES tests/core/core_dialog_tests.cpp tests/core/core_window_tests.cpp
        LIBS fw fw_test_support Boost::filesystem
        LABELS display
        ENV ZENDRA_FW_SOURCE_ROOT=${CMAKE_CURRENT_SOURCE_DIR}
        DEPENDS d3d10warp)
    zendra_add_benchmark(core_bench
        SOURCES tests/core/core_bench.cpp
        LIBS fw fw_test_support Boost::filesystem GTest::gtest)
    # Frames per second of a test scene with the post passes on the software renderer.
    zendra_add_benchmark(core_fps_bench
        SOURCES tests/core/core_fps_bench.cpp
        LIBS fw fw_test_support Boost::filesystem GTest::gtest
        DEPENDS d3d10warp)
    include(${core_test_dir}/e2e/CMakeLists.txt)
endif()
