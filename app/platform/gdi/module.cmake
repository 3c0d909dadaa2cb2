# Device contexts, bitmaps, BitBlt, fonts and text, BMP decoding and PNG files.
target_link_libraries(quelt_platform PRIVATE PkgConfig::QUELT_SDL2 PkgConfig::QUELT_FREETYPE2
  PkgConfig::QUELT_FONTCONFIG PkgConfig::QUELT_ZLIB)
# libyuv packs 32-bit pixels into 24-bit ones; it ships no pkg-config file.
find_path(QUELT_LIBYUV_INCLUDE libyuv/convert_from_argb.h REQUIRED)
find_library(QUELT_LIBYUV yuv REQUIRED)
target_include_directories(quelt_platform PRIVATE ${QUELT_LIBYUV_INCLUDE})
target_link_libraries(quelt_platform PRIVATE ${QUELT_LIBYUV})
target_sources(quelt_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/bit_blt.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bitmap_files.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bitmaps.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bmp_decoding.cpp
  ${CMAKE_CURRENT_LIST_DIR}/call_trace.cpp
  ${CMAKE_CURRENT_LIST_DIR}/device_contexts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/draw_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/drawing_pixels.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gdi_objects.cpp
  ${CMAKE_CURRENT_LIST_DIR}/glyph_cache.cpp
  ${CMAKE_CURRENT_LIST_DIR}/png_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pixel_rows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window_mirrors.cpp)
quelt_neon_sources(${CMAKE_CURRENT_LIST_DIR}/pixel_rows_neon.cpp)
