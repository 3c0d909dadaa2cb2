# Display backends (Wayland, SDL2, DRM and headless) and the window surfaces they share.
target_sources(quelt_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/display.cpp
  ${CMAKE_CURRENT_LIST_DIR}/display_thread.cpp
  ${CMAKE_CURRENT_LIST_DIR}/display_wait.cpp
  ${CMAKE_CURRENT_LIST_DIR}/headless_display.cpp
  ${CMAKE_CURRENT_LIST_DIR}/letterbox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/message_box_picture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/message_boxes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pen_input.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen_capture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sdl_display.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sdl_message_box.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wayland_buffers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wayland_connection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wayland_display.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wayland_loop.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wayland_message_box.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wayland_pen.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wayland_seats.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wayland_toplevels.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window_surfaces.cpp)
include(${CMAKE_CURRENT_LIST_DIR}/drm/module.cmake)
target_link_libraries(quelt_platform PRIVATE PkgConfig::QUELT_SDL2 PkgConfig::QUELT_X11
  PkgConfig::QUELT_WAYLAND_CLIENT)

# The xdg-shell client code is generated from the protocol's description at build time
# (wayland-scanner, wayland-protocols), into a folder only the platform sees.
pkg_get_variable(QUELT_WAYLAND_SCANNER wayland-scanner wayland_scanner)
pkg_get_variable(QUELT_WAYLAND_PROTOCOLS wayland-protocols pkgdatadir)
if(NOT QUELT_WAYLAND_SCANNER OR NOT QUELT_WAYLAND_PROTOCOLS)
  message(FATAL_ERROR "wayland-scanner or wayland-protocols missing (scripts/setup installs them)")
endif()
set(xdg_shell_xml ${QUELT_WAYLAND_PROTOCOLS}/stable/xdg-shell/xdg-shell.xml)
set(xdg_shell_folder ${CMAKE_CURRENT_BINARY_DIR}/wayland_protocols)
file(MAKE_DIRECTORY ${xdg_shell_folder})
add_custom_command(
  OUTPUT ${xdg_shell_folder}/xdg-shell-client-protocol.h
  COMMAND ${QUELT_WAYLAND_SCANNER} client-header ${xdg_shell_xml}
          ${xdg_shell_folder}/xdg-shell-client-protocol.h
  DEPENDS ${xdg_shell_xml})
add_custom_command(
  OUTPUT ${xdg_shell_folder}/xdg-shell-protocol.c
  COMMAND ${QUELT_WAYLAND_SCANNER} private-code ${xdg_shell_xml}
          ${xdg_shell_folder}/xdg-shell-protocol.c
  DEPENDS ${xdg_shell_xml})
target_sources(quelt_platform PRIVATE ${xdg_shell_folder}/xdg-shell-client-protocol.h
  ${xdg_shell_folder}/xdg-shell-protocol.c)
target_include_directories(quelt_platform PRIVATE ${xdg_shell_folder})
