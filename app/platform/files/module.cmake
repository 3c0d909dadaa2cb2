# Files: the storage-card path mapping, StorageFileOpen and ShellExecuteEx.
target_sources(quelt_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/shell_execute.cpp
  ${CMAKE_CURRENT_LIST_DIR}/storage_path.cpp)
