# The SDL2 backend (X11, or KMSDRM through SDL's renderer): presenting, input, the X11 extras and
# its message boxes.
target_sources(quelt_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/sdl_display.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sdl_input.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sdl_message_box.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sdl_present.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sdl_x11.cpp)
target_link_libraries(quelt_platform PRIVATE PkgConfig::QUELT_SDL2 PkgConfig::QUELT_X11)
