# The SDL2 backend (X11, or KMSDRM through SDL's renderer) and its message boxes.
target_sources(quelt_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/sdl_display.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sdl_message_box.cpp)
target_link_libraries(quelt_platform PRIVATE PkgConfig::QUELT_SDL2 PkgConfig::QUELT_X11)
