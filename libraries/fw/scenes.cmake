# src/scenes    math, curves, transforms, cameras, scene descriptions, meshes and materials
# tests/scenes  their tests, and the mesh benchmark
# fuzz          fuzz harnesses of the scene-description and mesh readers, with seed corpora
#
# The framework's scene side: its own small math library, and (fw_scenes) curves,
# transforms, cameras, the debug and sync cameras, scene descriptions and meshes.
add_library(fw_math STATIC src/scenes/fw_Math.cpp)
target_include_directories(fw_math PUBLIC src/scenes)
target_link_libraries(fw_math PUBLIC d3dx10_math platform_crt)

zendra_add_gtest(fw_math_tests
    SOURCES tests/scenes/scenes_math_tests.cpp
    LIBS fw_math)

add_library(fw_curves STATIC src/scenes/fw_Curve.cpp)
target_include_directories(fw_curves PUBLIC src/scenes)

zendra_add_gtest(fw_curve_tests
    SOURCES tests/scenes/scenes_curve_tests.cpp
    LIBS fw_curves)

# Transforms, cameras, the debug and sync cameras and scene descriptions read the clocks,
# the mouse record and the log of the framework's services.
add_library(fw_scenes STATIC
    src/scenes/fw_SceneServices.cpp
    src/scenes/fw_Transform.cpp
    src/scenes/fw_Camera.cpp
    src/scenes/fw_DebugCamera.cpp
    src/scenes/fw_Scene.cpp
    src/scenes/fw_SyncCamera.cpp
)
target_include_directories(fw_scenes PUBLIC src/scenes)
target_link_libraries(fw_scenes PUBLIC fw_curves fw_math fw_state fw_services sync d3dx10_math platform_crt
    Boost::headers PRIVATE platform_regular_file)

# The depth pick that a scene forwards to needs the framework object and its table.
zendra_add_gtest(fw_scene_tests
    SOURCES tests/scenes/scenes_transform_tests.cpp tests/scenes/scenes_debug_camera_tests.cpp
            tests/scenes/scenes_loader_tests.cpp tests/scenes/scenes_sync_camera_tests.cpp
    LIBS fw_scenes fw_core Boost::filesystem)

# Meshes: .obj/.mtl reading, and the device mesh of the extension library.
add_library(fw_meshes STATIC src/scenes/fw_Mesh.cpp)
target_include_directories(fw_meshes PUBLIC src/scenes)
target_link_libraries(fw_meshes PUBLIC fw_math fw_state d3dx10_meshes d3dx10_effects
    PRIVATE fw_scenes platform_regular_file)

zendra_add_gtest(fw_mesh_tests
    SOURCES tests/scenes/scenes_mesh_tests.cpp
    LIBS fw_meshes fw_services Boost::filesystem)
# The materials reach the shared pool through the framework object's handles.
zendra_add_gtest(fw_mesh_gpu_tests
    SOURCES tests/scenes/scenes_mesh_gpu_tests.cpp
    LIBS fw_meshes fw platform_d3d10_test_support Boost::filesystem)
zendra_add_benchmark(fw_mesh_bench
    SOURCES tests/scenes/scenes_mesh_bench.cpp
    LIBS fw_meshes platform_d3d10_core Boost::filesystem)

zendra_add_fuzzer(fw_scene_xml_fuzz
    SOURCES fuzz/scene_xml_fuzz.cpp
    LIBS fw_scenes Boost::filesystem
    CORPUS fuzz/corpus_scene)
zendra_add_fuzzer(fw_mesh_obj_mtl_fuzz
    SOURCES fuzz/mesh_obj_mtl_fuzz.cpp
    LIBS fw_meshes fw_services Boost::filesystem
    CORPUS fuzz/corpus_mesh)
