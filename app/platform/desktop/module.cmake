# The host's top-level windows: X11 when an X server runs, the platform's own windows otherwise;
# and the user's session, which a program joins to run once and to end on stop signals.
target_sources(quelt_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/desktop.cpp
  ${CMAKE_CURRENT_LIST_DIR}/session.cpp
  ${CMAKE_CURRENT_LIST_DIR}/session_requests.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x11_desktop.cpp)
target_link_libraries(quelt_platform PRIVATE PkgConfig::QUELT_X11)
