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

if(NOT TARGET fw_services OR NOT TARGET fw_meshes OR NOT TARGET d3dx10_effects OR NOT TARGET d3dx10_images OR NOT TARGET d3dx10_fonts OR NOT TARGET platform_d3d10_core OR NOT TARGET platform_cuda)
    message(STATUS "fw_resources: the services, effects, images, fonts, Direct3D or CUDA stand-in are not configured; skipped")
    return()
endif()

add_library(fw_resources STATIC
    src/resources/fw_Texture.cpp
    src/resources/fw_TextureTable.cpp
    src/resources/fw_Effect.cpp
    src/resources/fw_ScreenQuad.cpp
    src/resources/fw_PostEffects.cpp
    src/resources/fw_Font.cpp
    src/resources/fw_Cuda.cpp
)
target_include_directories(fw_resources PUBLIC src/resources)
# The texture statistics report names each texture's creator through the call-stack search.
if(TARGET platform_dbghelp)
    target_sources(fw_resources PRIVATE src/resources/fw_TextureReport.cpp)
    target_link_libraries(fw_resources PUBLIC fw_utils)
endif()
target_link_libraries(fw_resources
    PUBLIC fw_state fw_services fw_scenes fw_meshes fw_math sync d3dx10_effects d3dx10_images d3dx10_fonts platform_d3d10_core platform_cuda platform_crt
    PRIVATE platform_regular_file)

if(ZENDRA_TESTS)
    set(fw_resources_test_sources
        tests/resources/resources_support.cpp tests/resources/resources_post_support.cpp)
    foreach(group texture table effect post final further report font)
        if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/tests/resources/resources_${group}_tests.cpp)
            list(APPEND fw_resources_test_sources tests/resources/resources_${group}_tests.cpp)
        endif()
    endforeach()
    if(NOT TARGET platform_dbghelp)
        list(REMOVE_ITEM fw_resources_test_sources tests/resources/resources_report_tests.cpp)
    endif()
    zendra_add_gtest(fw_resources_tests
        SOURCES ${fw_resources_test_sources}
        LIBS fw_resources Boost::filesystem)
    if(TARGET fw_resources_tests)
        target_compile_definitions(fw_resources_tests PRIVATE FW_SOURCE_ROOT="${CMAKE_CURRENT_SOURCE_DIR}")
        # The compiled forms of the framework's effect files, loaded without their sources.
        if(COMMAND d3dx10_pack_effects)
            d3dx10_pack_effects(fw_resources_tests_packed ${CMAKE_CURRENT_BINARY_DIR}/packed
                src/shaders/fw_Globals.fxi src/shaders/fw_PostEffects.fx
                INCLUDE_DIRS src/shaders)
            add_dependencies(fw_resources_tests fw_resources_tests_packed)
            target_compile_definitions(fw_resources_tests PRIVATE
                FW_PACKED_SHADERS="${CMAKE_CURRENT_BINARY_DIR}/packed")
        endif()
    endif()
endif()
