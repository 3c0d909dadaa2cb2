# Display backends (SDL2 and headless) and the window surfaces they share.
target_sources(quelt_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/display.cpp
  ${CMAKE_CURRENT_LIST_DIR}/display_thread.cpp
  ${CMAKE_CURRENT_LIST_DIR}/headless_display.cpp
  ${CMAKE_CURRENT_LIST_DIR}/message_box_picture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/message_boxes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen_capture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sdl_display.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sdl_message_box.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window_surfaces.cpp)
target_link_libraries(quelt_platform PRIVATE PkgConfig::QUELT_SDL2 PkgConfig::QUELT_X11)
