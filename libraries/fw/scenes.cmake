# The framework's scene side: its own small math library, and (fw_scenes) curves,
# transforms, cameras, the debug and sync cameras, scene descriptions and meshes.
add_library(fw_math STATIC src/fw_Math.cpp)
target_include_directories(fw_math PUBLIC src)
target_link_libraries(fw_math PUBLIC d3dx10_math platform_crt)

zendra_add_gtest(fw_math_tests
    SOURCES tests/scenes_math_tests.cpp
    LIBS fw_math)

add_library(fw_curves STATIC src/fw_Curve.cpp)
target_include_directories(fw_curves PUBLIC src)

zendra_add_gtest(fw_curve_tests
    SOURCES tests/scenes_curve_tests.cpp
    LIBS fw_curves)
