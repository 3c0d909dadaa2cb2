# Block devices: CreateFileW("DSKn:"), DeviceIoControl and the file, NBD and registered backends.
target_sources(quelt_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/backend_registry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/block_device_calls.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_block_device.cpp
  ${CMAKE_CURRENT_LIST_DIR}/link_device_list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/link_device_summary.cpp
  ${CMAKE_CURRENT_LIST_DIR}/note_once.cpp)
if(QUELT_NBD)
  target_sources(quelt_platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/nbd_block_device.cpp)
  target_link_libraries(quelt_platform PRIVATE PkgConfig::QUELT_LIBNBD)
else()
  target_sources(quelt_platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/nbd_not_built.cpp)
endif()
