# Decoder tests around the core (included by decoder/CMakeLists.txt): the independent A/52
# model and frame builder, the a52peer tool, the comparison with ffmpeg through a52wav under
# Wine, the fuzzer and the benchmark.
if(TX_NATIVE)
  add_library(txdecode_peer STATIC tests/peer_a52.cpp tests/frame_builder.cpp)
  add_executable(a52peer tests/peer_tool.cpp)
  target_link_libraries(a52peer PRIVATE txdecode_peer txdecode_core)
endif()

# The comparison with ffmpeg runs the win64 a52wav under Wine and the native a52peer tool
# (the test suite builds the native preset first).
if(TX_WINE)
  tx_script_test(NAME decoder_peer_compare WINE TIMEOUT 3000
    COMMAND ${TX_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/tests/peer_compare.py
            ${CMAKE_SOURCE_DIR}/build/native/decoder/a52peer $<TARGET_FILE:a52wav>
            ${CMAKE_CURRENT_BINARY_DIR}/peer_compare)
endif()
