# Benchmarks in bench/ (Release builds, not part of CI): configure with -DKQ5_BENCH=ON.
option(KQ5_BENCH "Build the benchmarks in bench/" OFF)
if(KQ5_BENCH)
  # Starts the whole-process runs of the benchmarks and reads their CPU time and peak memory.
  add_executable(bench_run_child ${CMAKE_SOURCE_DIR}/bench/run_child.cpp)
  add_executable(sparse_bench ${CMAKE_SOURCE_DIR}/bench/sparse_bench.cpp)
  target_link_libraries(sparse_bench PRIVATE kq5lib)
  # Whole transient runs against ngspice on the same netlists.
  add_executable(transient_bench ${CMAKE_SOURCE_DIR}/bench/transient_bench.cpp)
  target_link_libraries(transient_bench PRIVATE kq5lib)
  add_dependencies(transient_bench bench_run_child)
  target_compile_definitions(transient_bench PRIVATE KQ5_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  # A transient run of a million points drawn live in the analysis window.
  add_executable(plot_bench ${CMAKE_SOURCE_DIR}/bench/plot_bench.cpp)
  target_link_libraries(plot_bench PRIVATE kq5lib)
  # One move step of a large selection with rubber-banding.
  add_executable(schematic_bench_move ${CMAKE_SOURCE_DIR}/bench/schematic_bench_move.cpp)
  target_link_libraries(schematic_bench_move PRIVATE kq5lib)
  # Repaint of a 2,000-part schematic page.
  add_executable(schematic_bench ${CMAKE_SOURCE_DIR}/bench/schematic_bench.cpp)
  target_link_libraries(schematic_bench PRIVATE kq5lib)
  # A 1000-case stepped transient against 1000 single runs.
  add_executable(stepping_bench ${CMAKE_SOURCE_DIR}/bench/stepping_bench.cpp)
  target_link_libraries(stepping_bench PRIVATE kq5lib)
  # Start-up of whole batch processes against ngspice, and a long run with a display.
  add_executable(startup_bench ${CMAKE_SOURCE_DIR}/bench/startup_bench.cpp)
  target_link_libraries(startup_bench PRIVATE kq5lib)
  add_dependencies(startup_bench bench_run_child)
  # The digital event engine against Icarus Verilog on gate-level adders.
  add_executable(digital_bench ${CMAKE_SOURCE_DIR}/bench/digital_bench.cpp)
  target_link_libraries(digital_bench PRIVATE kq5lib)
  add_dependencies(digital_bench bench_run_child)
  # The printed rows run the program itself, as a batch job.
  target_compile_definitions(digital_bench PRIVATE KQ5_BINARY_DIR="${CMAKE_BINARY_DIR}")
  # The program's FFT against FFTW at 2^18 points.
  add_executable(fft_bench ${CMAKE_SOURCE_DIR}/bench/fft_bench.cpp)
  target_link_libraries(fft_bench PRIVATE kq5lib)
endif()
