# v4l2-emu: an emulated V4L2 capture card for tests and for trying the
# program without a card (tools/v4l2-emu/models/README.md). Three parts: the
# model reader both sides share, the preload library that answers the
# program's calls (no Qt, no GStreamer: it lives inside any program), and the
# launcher that keeps the card's state and draws its picture.
set(V4L2_EMU_DIR ${CMAKE_CURRENT_LIST_DIR})
find_package(Threads REQUIRED)

add_library(v4l2_emu_model STATIC
  ${V4L2_EMU_DIR}/emu_model.cpp ${V4L2_EMU_DIR}/emu_formats.cpp)
set_target_properties(v4l2_emu_model PROPERTIES POSITION_INDEPENDENT_CODE ON
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
target_include_directories(v4l2_emu_model PUBLIC ${V4L2_EMU_DIR})

add_library(v4l2-emu-preload SHARED
  ${V4L2_EMU_DIR}/emu_preload.cpp ${V4L2_EMU_DIR}/emu_preload_fs.cpp ${V4L2_EMU_DIR}/emu_driver.cpp
  ${V4L2_EMU_DIR}/emu_settings.cpp ${V4L2_EMU_DIR}/emu_controls.cpp ${V4L2_EMU_DIR}/emu_queue.cpp
  ${V4L2_EMU_DIR}/emu_file_io.cpp ${V4L2_EMU_DIR}/emu_preload_poll.cpp)
set_target_properties(v4l2-emu-preload PROPERTIES CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON)
target_link_libraries(v4l2-emu-preload PRIVATE v4l2_emu_model ${CMAKE_DL_LIBS} Threads::Threads)
target_link_options(v4l2-emu-preload PRIVATE -Wl,--no-undefined)

# The models, staged beside the launcher.
file(GLOB V4L2_EMU_MODELS CONFIGURE_DEPENDS ${V4L2_EMU_DIR}/models/*.model)
set(V4L2_EMU_STAGED_MODELS)
foreach(m ${V4L2_EMU_MODELS})
  get_filename_component(name ${m} NAME)
  add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/v4l2-emu-models/${name}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${m}
            ${CMAKE_CURRENT_BINARY_DIR}/v4l2-emu-models/${name}
    DEPENDS ${m} VERBATIM)
  list(APPEND V4L2_EMU_STAGED_MODELS ${CMAKE_CURRENT_BINARY_DIR}/v4l2-emu-models/${name})
endforeach()
add_custom_target(v4l2_emu_models ALL DEPENDS ${V4L2_EMU_STAGED_MODELS})

add_executable(v4l2-emu ${V4L2_EMU_DIR}/main.cpp ${V4L2_EMU_DIR}/emu_picture.cpp
  ${V4L2_EMU_DIR}/emu_sysfs.cpp)
target_link_libraries(v4l2-emu PRIVATE lyra_core v4l2_emu_model)
add_dependencies(v4l2-emu v4l2-emu-preload v4l2_emu_models lyra_data)
