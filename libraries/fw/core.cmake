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

# The targets are made once the whole directory has been read, so that every area's
# targets exist whatever the order of the area files.
function(fw_core_define)
    foreach(needed fw_services fw_scenes fw_resources platform_d3d10 platform_stereo platform_cuda)
        if(NOT TARGET ${needed})
            message(STATUS "fw_core: ${needed} is not configured; the framework's main road is skipped")
            return()
        endif()
    endforeach()

    add_library(fw_core STATIC
        src/core/fw_Framework.cpp
        src/core/fw_StartDialog.cpp
        src/core/fw_Window.cpp
        src/core/fw_RunLoop.cpp
        src/core/fw_CameraVariables.cpp
        src/core/fw_Stereo.cpp
        src/core/fw_Screenshot.cpp
        src/core/fw_FrameworkHooks.cpp
    )
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/src/core/fw_DebugCameraHooks.cpp)
        target_sources(fw_core PRIVATE src/core/fw_DebugCameraHooks.cpp)
    endif()
    target_include_directories(fw_core PUBLIC src/core)
    target_link_libraries(fw_core PUBLIC
        fw_resources fw_scenes fw_services fw_state sync
        platform_d3d10 platform_d3dx10 platform_win32 platform_stereo platform_cuda
        Boost::filesystem Boost::system PRIVATE platform_regular_file)

    add_library(fw INTERFACE)
    target_link_libraries(fw INTERFACE fw_core fw_resources fw_services fw_scenes fw_state fw_utils
        $<TARGET_NAME_IF_EXISTS:fw_meshes> $<TARGET_NAME_IF_EXISTS:fw_math> $<TARGET_NAME_IF_EXISTS:fw_curves>
        platform_win32 platform_d3d10 platform_d3dx10 platform_audio platform_crt platform_stereo platform_cuda
        $<TARGET_NAME_IF_EXISTS:platform_dbghelp>)

    if(NOT ZENDRA_TESTS)
        return()
    endif()
    set(core_test_dir ${CMAKE_CURRENT_SOURCE_DIR}/tests/core)
    # Without a display: roots, data paths, sizes, the frame timeline, camera variables.
    set(core_sources core_startup_tests.cpp core_frame_tests.cpp core_camera_tests.cpp core_hooks_tests.cpp)
    set(display_sources core_dialog_tests.cpp core_window_tests.cpp)
    list(TRANSFORM core_sources PREPEND ${core_test_dir}/)
    list(TRANSFORM display_sources PREPEND ${core_test_dir}/)
    foreach(list_name core_sources display_sources)
        set(present)
        foreach(source ${${list_name}})
            if(EXISTS ${source})
                list(APPEND present ${source})
            endif()
        endforeach()
        set(${list_name} ${present})
    endforeach()
    zendra_add_gtest(core_tests
        SOURCES ${core_sources} ${core_test_dir}/core_support.cpp
        LIBS fw Boost::filesystem
        ENV ZENDRA_FW_SOURCE_ROOT=${CMAKE_CURRENT_SOURCE_DIR})
    if(TARGET core_tests AND TARGET services_fake_bass)
        add_dependencies(core_tests services_fake_bass)
    endif()
    # On the X display: the start dialog, the window procedure, device creation, present.
    if(display_sources)
        zendra_add_gtest(core_display_tests
            SOURCES ${display_sources} ${core_test_dir}/core_support.cpp
            LIBS fw Boost::filesystem
            LABELS display
            ENV ZENDRA_FW_SOURCE_ROOT=${CMAKE_CURRENT_SOURCE_DIR})
        add_dependencies(core_display_tests d3d10warp)
    endif()
    zendra_add_benchmark(core_bench
        SOURCES ${core_test_dir}/core_bench.cpp ${core_test_dir}/core_support.cpp
        LIBS fw Boost::filesystem GTest::gtest)
    # Frames per second of a test scene with the post passes on the software renderer.
    if(EXISTS ${core_test_dir}/core_fps_bench.cpp)
        zendra_add_benchmark(core_fps_bench
            SOURCES ${core_test_dir}/core_fps_bench.cpp ${core_test_dir}/core_support.cpp
            LIBS fw Boost::filesystem GTest::gtest)
        if(TARGET core_fps_bench)
            add_dependencies(core_fps_bench d3d10warp)
        endif()
    endif()
    if(EXISTS ${core_test_dir}/e2e/CMakeLists.txt)
        include(${core_test_dir}/e2e/CMakeLists.txt)
    endif()
endfunction()

cmake_language(DEFER CALL fw_core_define)
