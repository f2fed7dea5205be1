# src/services    log and alerts, assertions, call stack, clocks, sync timer, music, mouse
# tests/services  their tests, and an audio module that records every call
#
# The framework's services: log and alerts, assertions and the call-stack report,
# clocks, the sync timer, the music player with its library loader, the mouse state.
add_library(fw_services STATIC
    src/services/fw_Lock.cpp
    src/services/fw_Log.cpp
    src/services/fw_Assert.cpp
    src/services/fw_Timer.cpp
    src/services/fw_SyncTimer.cpp
    src/services/fw_LibraryLoader.cpp
    src/services/fw_Music.cpp
    src/services/fw_Mouse.cpp
    src/services/fw_CallStack.cpp
)
target_include_directories(fw_services PUBLIC src/services)
target_link_libraries(fw_services
    PUBLIC fw_state sync platform_win32 platform_audio platform_dbghelp Boost::filesystem Boost::system
    PRIVATE platform_regular_file)

if(ZENDRA_TESTS)
    zendra_add_gtest(services_clock_tests
        SOURCES tests/services/services_clock_tests.cpp
                tests/services/services_sync_timer_tests.cpp
        LIBS fw_services)
    zendra_add_gtest(services_mouse_tests
        SOURCES tests/services/services_mouse_tests.cpp
        LIBS fw_services)
    zendra_add_gtest(services_log_tests
        SOURCES tests/services/services_log_tests.cpp
                tests/services/services_countdown_tests.cpp
        LIBS fw_services)
    zendra_add_gtest(services_assert_tests
        SOURCES tests/services/services_assert_tests.cpp
        LIBS fw_services)

    # A stand-in for the audio module that records every call, for the call-sequence
    # tests (copied as bass.so beside a copy of the test program).
    add_library(services_fake_bass MODULE tests/services/services_fake_bass.cpp)
    set_target_properties(services_fake_bass PROPERTIES PREFIX "" OUTPUT_NAME fake_bass)
    target_compile_definitions(services_fake_bass PRIVATE PLATFORM_AUDIO_EXPORTS)
    target_link_libraries(services_fake_bass PRIVATE platform_audio)

    find_package(PkgConfig REQUIRED)
    pkg_check_modules(SERVICES_LAME REQUIRED IMPORTED_TARGET lame)
    zendra_add_gtest(services_music_tests
        SOURCES tests/services/services_music_tests.cpp tests/services/services_child.cpp
        LIBS fw_services
        DEFINITIONS FAKE_BASS_PATH="$<TARGET_FILE:services_fake_bass>"
        DEPENDS services_fake_bass)
    # The real audio module plays a generated MP3 through SDL's disk driver.
    zendra_add_gtest(services_playback_tests
        SOURCES tests/services/services_playback_tests.cpp
        LIBS fw_services PkgConfig::SERVICES_LAME
        LABELS audio
        DEPENDS bass)
endif()
