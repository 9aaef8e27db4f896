# The tests that run under the V4L2 device emulator (tools/v4l2-emu): the
# whole program once per card profile, and once per misbehaviour the
# emulator can be asked for.
file(GLOB V4L2EMU_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_executable(test_v4l2emu ${V4L2EMU_TEST_SOURCES}
  ${CMAKE_CURRENT_LIST_DIR}/../platform/media_test_util.cpp)
target_include_directories(test_v4l2emu PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../platform)
target_link_libraries(test_v4l2emu PRIVATE lyra_test_support v4l2_emu_model)
add_dependencies(test_v4l2emu v4l2-emu)

set(V4L2EMU_RUN $<TARGET_FILE:v4l2-emu>)
set(V4L2EMU_TEST $<TARGET_FILE:test_v4l2emu>)
set(V4L2EMU_FAULTS "EmuFaults.*:LyraOnEmu.Busy*:LyraOnEmu.Unplugged*:RecordingOnEmu.*")
foreach(profile saa7134 cx88 bttv em28xx)
  add_test(NAME v4l2emu.${profile}
    COMMAND ${V4L2EMU_RUN} --profile ${profile} --radio -- ${V4L2EMU_TEST}
            --gtest_filter=-${V4L2EMU_FAULTS})
endforeach()
add_test(NAME v4l2emu.busy
  COMMAND ${V4L2EMU_RUN} --profile saa7134 --busy -- ${V4L2EMU_TEST}
          --gtest_filter=EmuFaults.BusyNodeRefusesOpen:LyraOnEmu.BusyCardGivesTheDeviceMessage)
add_test(NAME v4l2emu.unplug
  COMMAND ${V4L2EMU_RUN} --profile cx88 --unplug-after 1 -- ${V4L2EMU_TEST}
          --gtest_filter=EmuFaults.UnplugEndsTheStreamWithENODEV)
add_test(NAME v4l2emu.replug
  COMMAND ${V4L2EMU_RUN} --profile saa7134 --unplug-after 0.5 --replug-after 0.5 -- ${V4L2EMU_TEST}
          --gtest_filter=EmuFaults.Replug*)
add_test(NAME v4l2emu.unplug-preview
  COMMAND ${V4L2EMU_RUN} --profile em28xx --unplug-after 2 --replug-after 5 -- ${V4L2EMU_TEST}
          --gtest_filter=LyraOnEmu.UnpluggedCard*)
add_test(NAME v4l2emu.unplug-recording
  COMMAND ${V4L2EMU_RUN} --profile saa7134 --unplug-after 8 -- ${V4L2EMU_TEST}
          --gtest_filter=RecordingOnEmu.*)
add_test(NAME v4l2emu.stall
  COMMAND ${V4L2EMU_RUN} --profile bttv --stall-after 0.5 -- ${V4L2EMU_TEST}
          --gtest_filter=EmuFaults.StalledStreamDeliversNothing)
add_test(NAME v4l2emu.refuse-standard
  COMMAND ${V4L2EMU_RUN} --profile saa7134 --refuse-standard NTSC-M -- ${V4L2EMU_TEST}
          --gtest_filter=EmuFaults.RefusedStandardIsRefused)
get_property(V4L2EMU_TESTS DIRECTORY PROPERTY TESTS)
list(FILTER V4L2EMU_TESTS INCLUDE REGEX "^v4l2emu\\.")
set_tests_properties(${V4L2EMU_TESTS} PROPERTIES
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 180)
