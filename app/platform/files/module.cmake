# Files: the storage-card path mapping, StorageFileOpen, replacing a file whole, and
# ShellExecuteEx.
target_sources(quelt_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/shell_execute.cpp
  ${CMAKE_CURRENT_LIST_DIR}/storage_file_open.cpp
  ${CMAKE_CURRENT_LIST_DIR}/storage_file_replace.cpp
  ${CMAKE_CURRENT_LIST_DIR}/storage_path.cpp)
