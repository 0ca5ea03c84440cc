// a52wav: decodes a file of A/52 frames to a 16-bit PCM WAVE file through the decoder
// library's three entry points, the way an outside caller uses it.
//
//   a52wav [--mono] [--rate HZ] [--lose N,N,...] INPUT OUTPUT.wav
//
// Exit status: 0 success; 1 usage; 2 bad input, decoder refusal or write failure (a
// message on stderr says which). A truncated last frame is reported and not decoded; the
// frames before it are still written, and the exit status is 2.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <vector>

#include "outside/a52wav/decoder_link.h"
#include "outside/a52wav/frame_scan.h"
#include "outside/a52wav/wav_file.h"

namespace {

enum { MAX_LOST = 256, MAX_INPUT_BYTES = 256 * 1024 * 1024, SAMPLES_PER_CHANNEL = 1536 };

struct Options {
  int mono;
  int rate;
  long lost[MAX_LOST];
  int lostCount;
  const char* input;
  const char* output;
};

void usage() { fprintf(stderr, "usage: a52wav [--mono] [--rate HZ] [--lose N,N,...] INPUT OUTPUT.wav\n"); }

// Parses a non-negative decimal number that fills [text, end); -1 when it is not one.
long parseCount(const char* text, const char* end) {
  if (text == end || end - text > 9) return -1;
  long v = 0;
  for (const char* p = text; p < end; ++p) {
    if (*p < '0' || *p > '9') return -1;
    v = v * 10 + (*p - '0');
  }
  return v;
}

int parseLost(Options* o, const char* list) {
  const char* p = list;
  while (*p) {
    const char* comma = strchr(p, ',');
    const char* end = comma ? comma : p + strlen(p);
    long n = parseCount(p, end);
    if (n < 0) {
      fprintf(stderr, "a52wav: --lose expects frame numbers separated by commas, got \"%s\"\n", list);
      return 0;
    }
    if (o->lostCount >= MAX_LOST) {
      fprintf(stderr, "a52wav: --lose takes at most %d frame numbers\n", MAX_LOST);
      return 0;
    }
    o->lost[o->lostCount++] = n;
    p = comma ? comma + 1 : end;
  }
  return 1;
}

int parseOptions(int argc, char** argv, Options* o) {
  memset(o, 0, sizeof(*o));
  o->rate = 44100;
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (strcmp(a, "--mono") == 0) {
      o->mono = 1;
    } else if (strcmp(a, "--rate") == 0 || strcmp(a, "--lose") == 0) {
      if (i + 1 >= argc) {
        fprintf(stderr, "a52wav: %s needs a value\n", a);
        return 0;
      }
      const char* v = argv[++i];
      if (a[2] == 'r') {
        long r = parseCount(v, v + strlen(v));
        if (r <= 0) {
          fprintf(stderr, "a52wav: --rate expects a sample rate in Hz, got \"%s\"\n", v);
          return 0;
        }
        o->rate = (int)r;
      } else if (!parseLost(o, v)) {
        return 0;
      }
    } else if (a[0] == '-' && a[1] == '-') {
      fprintf(stderr, "a52wav: unknown option %s\n", a);
      return 0;
    } else if (positional == 0) {
      o->input = a;
      ++positional;
    } else if (positional == 1) {
      o->output = a;
      ++positional;
    } else {
      fprintf(stderr, "a52wav: too many arguments\n");
      return 0;
    }
  }
  if (positional != 2) {
    usage();
    return 0;
  }
  return 1;
}

bool isLost(const Options* o, long frame) {
  for (int i = 0; i < o->lostCount; ++i)
    if (o->lost[i] == frame) return true;
  return false;
}

// Reads the whole input. Returns 1 on success, 0 with a message.
int readInput(const char* path, std::vector<uint8_t>* data) {
  FILE* f = fopen(path, "rb");
  if (!f) {
    fprintf(stderr, "a52wav: cannot open input %s\n", path);
    return 0;
  }
  uint8_t buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), f)) > 0) {
    if (data->size() + n > (size_t)MAX_INPUT_BYTES) {
      fprintf(stderr, "a52wav: input %s is larger than %d bytes\n", path, (int)MAX_INPUT_BYTES);
      fclose(f);
      return 0;
    }
    data->insert(data->end(), buf, buf + n);
  }
  int failed = ferror(f);
  fclose(f);
  if (failed) {
    fprintf(stderr, "a52wav: error reading input %s\n", path);
    return 0;
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  if (!parseOptions(argc, argv, &opt)) return 1;

  std::vector<uint8_t> input;
  if (!readInput(opt.input, &input)) return 2;

  FrameScan scan;
  if (scanStart(&scan, input.data(), input.size()) == ORDER_NONE) {
    fprintf(stderr, "a52wav: no A/52 sync word in %s\n", opt.input);
    return 2;
  }
  // The stream's rate comes from its first usable frame.
  FrameSpot first;
  ScanResult firstResult = scanNext(&scan, &first);
  if (firstResult == SCAN_END) {
    fprintf(stderr, "a52wav: no A/52 frame in %s\n", opt.input);
    return 2;
  }
  scan.pos = 0;

  char err[256];
  DecoderLink link;
  if (!openDecoderLink(&link, err, sizeof(err))) {
    fprintf(stderr, "a52wav: %s\n", err);
    return 2;
  }
  int channels = opt.mono ? 1 : 2;
  int samplesPerFrame = 0;
  if (link.init(opt.rate, channels, &samplesPerFrame) != 0) {
    fprintf(stderr, "a52wav: the decoder refuses the rate %d Hz\n", opt.rate);
    closeDecoderLink(&link);
    return 2;
  }
  if (samplesPerFrame != channels * SAMPLES_PER_CHANNEL) {
    fprintf(stderr, "a52wav: the decoder announces %d samples per frame, expected %d\n", samplesPerFrame,
            channels * SAMPLES_PER_CHANNEL);
    closeDecoderLink(&link);
    return 2;
  }

  WavFile wav;
  if (!wavOpen(&wav, opt.output, channels, streamRate(first.fscod, first.bsid))) {
    fprintf(stderr, "a52wav: cannot write output %s\n", opt.output);
    closeDecoderLink(&link);
    return 2;
  }

  static uint8_t frame[MAX_FRAME_BYTES];
  static int16_t pcm[2 * SAMPLES_PER_CHANNEL];
  long frames = 0, errors = 0, concealed = 0;
  size_t garbage = 0;
  int status = 0;
  std::chrono::steady_clock::duration decodeTime{};
  for (;;) {
    FrameSpot spot;
    ScanResult r = scanNext(&scan, &spot);
    garbage += spot.skipped;
    if (r == SCAN_END) break;
    if (r == SCAN_TRUNCATED) {
      fprintf(stderr, "a52wav: the last frame (at byte %lu) is truncated: %lu of %lu bytes; not decoded\n",
              (unsigned long)spot.offset, (unsigned long)(input.size() - spot.offset), (unsigned long)spot.bytes);
      status = 2;
      break;
    }
    if (copyFrameForLibrary(&scan, &spot, frame, sizeof(frame)) == 0) break;  // cannot happen
    bool lost = isLost(&opt, frames);
    auto t0 = std::chrono::steady_clock::now();
    int rc = link.decode(lost ? nullptr : frame, pcm, lost ? 0 : 1);
    decodeTime += std::chrono::steady_clock::now() - t0;
    if (rc != 0) ++errors;
    if (lost) ++concealed;
    ++frames;
    if (!wavWrite(&wav, pcm, (size_t)samplesPerFrame)) break;
  }
  link.release();
  closeDecoderLink(&link);
  if (!wavClose(&wav)) {
    fprintf(stderr, "a52wav: error writing output %s\n", opt.output);
    return 2;
  }
  double seconds = (double)frames * SAMPLES_PER_CHANNEL / wav.rate;
  double ms = std::chrono::duration<double, std::milli>(decodeTime).count();
  printf("frames=%ld errors=%ld concealed=%ld seconds=%.3f decode_ms=%.1f", frames, errors, concealed, seconds, ms);
  if (garbage) printf(" skipped_bytes=%lu", (unsigned long)garbage);
  printf("\n");
  return status;
}
