// decoder_link_native: the native build of a52wav links the portable decoder core and
// reaches it through the same three entry points as the DLL.
#include "decoder/interface.h"
#include "outside/a52wav/decoder_link.h"

namespace {

int initEntry(int rate, int channels, int* samplesPerFrame) { return dbInitDecoder(rate, channels, samplesPerFrame); }
int decodeEntry(void* frame, short* out, int flags) { return dbDecode(frame, out, flags); }
void freeEntry(void) { dbFreeDecoder(); }

}  // namespace

int openDecoderLink(DecoderLink* link, char*, size_t) {
  link->init = initEntry;
  link->decode = decodeEntry;
  link->release = freeEntry;
  link->module = nullptr;
  return 1;
}

void closeDecoderLink(DecoderLink* link) { link->module = nullptr; }
