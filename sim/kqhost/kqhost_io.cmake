# kqhost's file side: signal files (CSV and raw) in and out, and the SVG plot of a run.
# Included from sim/kqhost/CMakeLists.txt; sources are included as "sim/kqhost/...".
get_filename_component(KQHOST_IO_INCLUDE_ROOT "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)

add_library(kqhost_io STATIC
  ${CMAKE_CURRENT_LIST_DIR}/atomic_output_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/csv_signal_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_descriptor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/number_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plot_axis.cpp
  ${CMAKE_CURRENT_LIST_DIR}/raw_signal_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/signal_format.cpp
  ${CMAKE_CURRENT_LIST_DIR}/signal_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/signal_writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/svg_plot.cpp)
target_include_directories(kqhost_io PUBLIC ${KQHOST_IO_INCLUDE_ROOT})
target_compile_features(kqhost_io PUBLIC cxx_std_20)
