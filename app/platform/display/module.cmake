# The display: the window surfaces, the shared pen path, the display thread and the table of
# backends, beside one folder per backend. A backend's folder lists its own sources and host
# libraries; the table (backend_table.cpp) names it once.
target_sources(quelt_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/backend_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/display.cpp
  ${CMAKE_CURRENT_LIST_DIR}/display_thread.cpp
  ${CMAKE_CURRENT_LIST_DIR}/display_wait.cpp
  ${CMAKE_CURRENT_LIST_DIR}/headless_display.cpp
  ${CMAKE_CURRENT_LIST_DIR}/letterbox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/letterbox_rows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/message_box_picture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/message_boxes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pen_input.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen_capture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wake_pipe.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window_surfaces.cpp)
quelt_neon_sources(${CMAKE_CURRENT_LIST_DIR}/letterbox_rows_neon.cpp)
# The screen capture writes its BMP files with SDL's writer.
target_link_libraries(quelt_platform PRIVATE PkgConfig::QUELT_SDL2)

include(${CMAKE_CURRENT_LIST_DIR}/wayland/module.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/sdl/module.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/drm/module.cmake)
