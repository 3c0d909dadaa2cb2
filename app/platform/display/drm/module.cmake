# The DRM/KMS display: libdrm for the screen, libseat for access to the card and the input
# devices, libinput (over libudev) for touch screens and pointers.
target_sources(quelt_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/drm_buffers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/drm_compose.cpp
  ${CMAKE_CURRENT_LIST_DIR}/drm_devices.cpp
  ${CMAKE_CURRENT_LIST_DIR}/drm_display.cpp
  ${CMAKE_CURRENT_LIST_DIR}/drm_input.cpp
  ${CMAKE_CURRENT_LIST_DIR}/drm_message_box.cpp
  ${CMAKE_CURRENT_LIST_DIR}/drm_output_choice.cpp
  ${CMAKE_CURRENT_LIST_DIR}/drm_pen.cpp
  ${CMAKE_CURRENT_LIST_DIR}/drm_scanout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/drm_seat.cpp)
pkg_check_modules(QUELT_DRM REQUIRED IMPORTED_TARGET GLOBAL libdrm libseat libinput libudev)
target_link_libraries(quelt_platform PRIVATE PkgConfig::QUELT_DRM)
