# Core: window classes, windows, message queues, timers, threads, clocks, the virtual-time
# scheduler and the control of virtual runs, resources, accelerators, kernel handles, 16-bit text,
# the lines on standard error and the CPU's vector units.
target_sources(quelt_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/accelerators.cpp
  ${CMAKE_CURRENT_LIST_DIR}/civil_time.cpp
  ${CMAKE_CURRENT_LIST_DIR}/clock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/core_state.cpp
  ${CMAKE_CURRENT_LIST_DIR}/exit_process.cpp
  ${CMAKE_CURRENT_LIST_DIR}/virtual_run_control.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kernel_handles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/log_lines.cpp
  ${CMAKE_CURRENT_LIST_DIR}/message_box.cpp
  ${CMAKE_CURRENT_LIST_DIR}/messages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/resources.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scheduler.cpp
  ${CMAKE_CURRENT_LIST_DIR}/signal_stacks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/threads.cpp
  ${CMAKE_CURRENT_LIST_DIR}/timers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/utf.cpp
  ${CMAKE_CURRENT_LIST_DIR}/vector_units.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wide_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/windows.cpp)
