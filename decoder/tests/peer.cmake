# Decoder tests around the core (included by decoder/CMakeLists.txt): the independent A/52
# model and frame builder, the a52peer tool, the comparison with ffmpeg through a52wav under
# Wine, the fuzzer and the benchmark.
if(TX_NATIVE)
  add_library(txdecode_peer STATIC tests/peer_a52.cpp tests/frame_builder.cpp)
  add_executable(a52peer tests/peer_tool.cpp)
  target_link_libraries(a52peer PRIVATE txdecode_peer txdecode_core)
endif()
tx_native_test(NAME decoder_peer_model_test SOURCES tests/peer_model_test.cpp
               LIBS txdecode_peer txdecode_core)

# The comparison with ffmpeg runs the win64 a52wav under Wine and the native a52peer tool
# (the test suite builds the native preset first).
if(TX_WINE)
  tx_script_test(NAME decoder_peer_compare WINE TIMEOUT 3000
    COMMAND ${TX_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/tests/peer_compare.py
            ${CMAKE_SOURCE_DIR}/build/native/decoder/a52peer $<TARGET_FILE:a52wav>
            ${CMAKE_CURRENT_BINARY_DIR}/peer_compare)
endif()

# The fuzzer: arbitrary bytes as frames, lost frames and re-initialisations mixed in.
# The core is compiled once more with coverage instrumentation for it.
if(TX_KIND STREQUAL "sanitize")
  add_library(txdecode_core_fuzz STATIC ${TXDECODE_SOURCES})
  target_compile_options(txdecode_core_fuzz PRIVATE -fsanitize=fuzzer-no-link)
  target_include_directories(txdecode_core_fuzz PUBLIC ${CMAKE_SOURCE_DIR})
endif()
tx_fuzz_target(NAME decoder_fuzz SOURCES tests/fuzz_decoder.cpp LIBS txdecode_core_fuzz
               CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/corpus SECONDS 30)

# The benchmark against libavcodec (native build only, run by hand).
if(TX_KIND STREQUAL "native")
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(LIBAV REQUIRED IMPORTED_TARGET libavcodec libavutil)
  tx_benchmark(NAME decoder_bench SOURCES tests/bench_decoder.cpp LIBS txdecode_core PkgConfig::LIBAV)
endif()

# Channel by channel, natively: every channel of every stream through the core apart
# (no downmix) against ffmpeg's channel, and the core's allocation against the test's model.
if(TX_KIND STREQUAL "native")
  tx_script_test(NAME decoder_peer_channels TIMEOUT 1200
    COMMAND ${TX_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/tests/peer_compare.py
            $<TARGET_FILE:a52peer> none ${CMAKE_CURRENT_BINARY_DIR}/peer_channels --channels)
endif()

# Output configurations the exports never ask for (the four dual-mono modes, 3/0, 2/1, 2/2, 3/1,
# matrix-encoded surround, LFE output), through the core's own downmix, natively.
if(TX_KIND STREQUAL "native")
  tx_script_test(NAME decoder_peer_matrices TIMEOUT 600
    COMMAND ${TX_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/tests/peer_compare.py
            $<TARGET_FILE:a52peer> none ${CMAKE_CURRENT_BINARY_DIR}/peer_matrices --matrices)
endif()
