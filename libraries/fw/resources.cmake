# src/resources    textures, effects, screen quad, post passes, fonts, CUDA, small helpers
# src/shaders      the framework's shared effect files, read under its root at run time
# tests/resources  their tests on the software device; their support serves the production's too
#
# The framework's resource side: textures and the texture table, effects and the shared
# pool, the screen quad and the post passes, with the framework's shared effect files.
#
# Its platform-free text helpers form a library of their own, which builds and tests
# without the stand-in layer.
add_library(fw_utils STATIC src/resources/fw_StringUtils.cpp)
target_include_directories(fw_utils PUBLIC src/resources)

zendra_add_gtest(fw_utils_tests
    SOURCES tests/resources/fw_StringUtils_tests.cpp
    LIBS fw_utils)

add_library(fw_resources STATIC
    src/resources/fw_Texture.cpp
    src/resources/fw_TextureTable.cpp
    src/resources/fw_Effect.cpp
    src/resources/fw_ScreenQuad.cpp
    src/resources/fw_PostEffects.cpp
    src/resources/fw_Font.cpp
    src/resources/fw_Cuda.cpp
    src/resources/fw_TextureReport.cpp
)
target_include_directories(fw_resources PUBLIC src/resources)
target_link_libraries(fw_resources
    PUBLIC fw_state fw_services fw_scenes fw_meshes fw_math fw_utils sync d3dx10_effects d3dx10_images d3dx10_fonts platform_d3d10_core platform_cuda platform_crt
    PRIVATE platform_regular_file)

if(ZENDRA_TESTS)
    include(tests/test_support.cmake)
    # The compiled forms of the framework's effect files, loaded without their sources.
    d3dx10_pack_effects(fw_resources_tests_packed ${CMAKE_CURRENT_BINARY_DIR}/packed
        src/shaders/fw_Globals.fxi src/shaders/fw_PostEffects.fx
        INCLUDE_DIRS src/shaders)
    zendra_add_gtest(fw_resources_tests
        SOURCES tests/resources/resources_post_support.cpp
                tests/resources/resources_texture_tests.cpp tests/resources/resources_table_tests.cpp
                tests/resources/resources_effect_tests.cpp tests/resources/resources_post_tests.cpp
                tests/resources/resources_final_tests.cpp tests/resources/resources_further_tests.cpp
                tests/resources/resources_report_tests.cpp tests/resources/resources_font_tests.cpp
        LIBS fw_resources fw_test_support Boost::filesystem
        DEFINITIONS FW_SOURCE_ROOT="${CMAKE_CURRENT_SOURCE_DIR}"
                    FW_PACKED_SHADERS="${CMAKE_CURRENT_BINARY_DIR}/packed"
        DEPENDS fw_resources_tests_packed)
endif()

zendra_add_fuzzer(fw_effect_include_fuzz
    SOURCES fuzz/effect_include_fuzz.cpp
    LIBS fw_resources Boost::filesystem
    CORPUS fuzz/corpus_effect)
