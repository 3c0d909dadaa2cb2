# The flight recorder: the event ring, the hooks the other modules call, saving files (on request,
# at a lost link, at a crash), the reader of recordings and the replay device.
target_sources(quelt_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/crash_save.cpp
  ${CMAKE_CURRENT_LIST_DIR}/event_ring.cpp
  ${CMAKE_CURRENT_LIST_DIR}/recorder_hooks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/recording_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/recording_save.cpp
  ${CMAKE_CURRENT_LIST_DIR}/replay.cpp)
target_link_libraries(quelt_platform PRIVATE PkgConfig::QUELT_LIBZSTD)
