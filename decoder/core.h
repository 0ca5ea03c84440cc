// The decoder core's command entry point (Init, FrameInfo, Crc, DecodeBlock)
// and the library's single state instance. Portable; the exports of
// interface.cpp sit on top of it.
#ifndef TXDECODE_CORE_H
#define TXDECODE_CORE_H

#include <cstdint>

#include "decoder/state.h"

constexpr uint32_t kInterfaceRevision = 0x0405;

enum CoreCommand : uint16_t { kCmdInit = 0, kCmdFrameInfo = 1, kCmdCrc = 2, kCmdDecodeBlock = 3 };

// The library's single instance, zero at load.
extern DecoderState g_decoder;

// Runs one core command (number in the low 16 bits, parameter in the high 16
// bits) on the record. Returns the status in the high 16 bits and 0x0405 in the
// low 16; unknown commands return 0xFFFFFFFF. FrameInfo also sets *info (when
// info is not null) to the ten-word record, valid until the next command.
uint32_t DecoderCommand(uint32_t command, const void* record, const int16_t** info = nullptr);

#endif
