# skin-gen draws the default skin at build time. It links QtGui only (not
# lyra_core, which itself waits for the staged data) and shares the region
# table with the program through app/skin_regions.h.
file(GLOB SKIN_GEN_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp ${CMAKE_CURRENT_LIST_DIR}/*.h)
add_executable(skin-gen ${SKIN_GEN_SOURCES} ${CMAKE_SOURCE_DIR}/app/skin_regions.h)
target_include_directories(skin-gen PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(skin-gen PRIVATE Qt6::Gui)

set(SKIN_DIR ${LYRA_STAGED_DATA}/skins/default)
set(SKIN_FILES)
foreach(name
    tv_disabled tv_normal tv_pressed tv_hover tv_mask
    fm_disabled fm_normal fm_pressed fm_hover fm_mask
    menu_normal menu_pressed menu_hover
    border_top border_bottom border_left border_right title)
  list(APPEND SKIN_FILES ${SKIN_DIR}/${name}.png)
endforeach()
add_custom_command(
  OUTPUT ${SKIN_FILES}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:skin-gen> ${SKIN_DIR}
  DEPENDS skin-gen
  COMMENT "Drawing the default skin"
  VERBATIM)
add_custom_target(skin_images DEPENDS ${SKIN_FILES})
add_dependencies(lyra_data skin_images)

# The program's icon in the icon theme's sizes, installed with the desktop
# entry.
set(LYRA_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
set(LYRA_ICON_FILES)
foreach(size 16 22 24 32 48 64 128 256)
  list(APPEND LYRA_ICON_FILES ${LYRA_ICON_DIR}/hicolor/${size}x${size}/apps/lyra.png)
endforeach()
add_custom_command(
  OUTPUT ${LYRA_ICON_FILES}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:skin-gen> --icons ${LYRA_ICON_DIR}
  DEPENDS skin-gen
  COMMENT "Drawing the program icon"
  VERBATIM)
add_custom_target(lyra_icons ALL DEPENDS ${LYRA_ICON_FILES})
install(DIRECTORY ${LYRA_ICON_DIR}/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
