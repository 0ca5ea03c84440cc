// a52peer: test tooling around the decoder, run by the comparison scripts.
//
//   a52peer undither IN.ac3 OUT.ac3 [--words-le]   clear every block's dither flags,
//                                                  recompute crc1 and crc2
//   a52peer build SCENARIO OUT.ac3 FRAMES [--words-le]
//                                                  frames of a frame-builder scenario
//   a52peer check IN.ac3                            parse every frame, check the CRCs
//   a52peer multichannel IN.ac3 OUT.f32             every channel through the core, apart
//   a52peer decode IN.ac3 OUT.f32 MODEWORD          through the core with its own downmix for
//                                                  the request's mode word (6 slots written)
//   a52peer scenarios                               list the frame-builder scenarios
//
// Input is in A/52 byte order (0x0B 0x77 first, as encoders write .ac3 files); output is
// in that order too, or with --words-le in the decoder library's little-endian word order.
// The check words are recomputed with the decoder core's own Crc command.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "decoder/core.h"
#include "decoder/tests/frame_builder.h"
#include "decoder/tests/peer_a52.h"

namespace {

int readFile(const char* path, std::vector<uint8_t>* data) {
  FILE* f = fopen(path, "rb");
  if (!f) return 0;
  uint8_t buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), f)) > 0) data->insert(data->end(), buf, buf + n);
  fclose(f);
  return 1;
}

int writeFile(const char* path, const std::vector<uint8_t>& data, bool wordsLe) {
  std::vector<uint8_t> out = data;
  if (wordsLe)
    for (size_t i = 0; i + 1 < out.size(); i += 2) std::swap(out[i], out[i + 1]);
  FILE* f = fopen(path, "wb");
  if (!f) return 0;
  bool ok = fwrite(out.data(), 1, out.size(), f) == out.size();
  return fclose(f) == 0 && ok;
}

// The core's Crc command over `words` words of an A/52-order buffer, started at 0.
unsigned coreCrc(const uint8_t* a52, size_t words) {
  static uint16_t le[peer::MAX_FRAME_BYTES / 2];
  for (size_t i = 0; i < words; ++i) le[i] = (uint16_t)((a52[2 * i] << 8) | a52[2 * i + 1]);
  CrcRequest req;
  memset(&req, 0, sizeof(req));
  req.fieldCount = 6;
  req.data = le;
  req.wordCount = (int16_t)words;
  return DecoderCommand(kCmdCrc, &req) >> 16;
}

// Sets crc1 and crc2 with the peer model and confirms them with the core's Crc: each
// section must check to zero. Returns 1 when the core agrees.
int setAndConfirmCrcs(uint8_t* frame, size_t bytes) {
  peer::setCrcs(frame, bytes);
  size_t words = bytes / 2;
  size_t last58 = (words >> 1) + (words >> 3) - 1;
  return coreCrc(frame + 2, last58) == 0 && coreCrc(frame + 2 * (last58 + 1), words - last58 - 1) == 0;
}

int undither(const char* in, const char* out, bool wordsLe) {
  std::vector<uint8_t> data;
  if (!readFile(in, &data)) {
    fprintf(stderr, "a52peer: cannot read %s\n", in);
    return 2;
  }
  static peer::Frame frame;
  size_t pos = 0;
  long frames = 0, cleared = 0;
  while (pos + 6 <= data.size()) {
    if (data[pos] != 0x0B || data[pos + 1] != 0x77) {
      fprintf(stderr, "a52peer: no sync word at byte %lu\n", (unsigned long)pos);
      return 2;
    }
    size_t bytes = (size_t)peer::frameWords(data[pos + 4] >> 6, data[pos + 4] & 0x3F) * 2;
    if (bytes == 0 || pos + bytes > data.size()) {
      fprintf(stderr, "a52peer: bad or truncated frame at byte %lu\n", (unsigned long)pos);
      return 2;
    }
    uint8_t* f = data.data() + pos;
    if (!peer::parseFrame(f, bytes, &frame)) {
      fprintf(stderr, "a52peer: frame %ld does not parse\n", frames);
      return 2;
    }
    int nf = peer::nfchans(frame.bsi.acmod);
    for (int k = 0; k < 6; ++k)
      for (int ch = 0; ch < nf; ++ch) {
        size_t bit = frame.blk[k].dithflagBit[ch];
        uint8_t mask = (uint8_t)(0x80u >> (bit & 7));
        if (f[bit >> 3] & mask) ++cleared;
        f[bit >> 3] = (uint8_t)(f[bit >> 3] & ~mask);
      }
    if (!setAndConfirmCrcs(f, bytes)) {
      fprintf(stderr, "a52peer: the core's Crc disagrees on frame %ld\n", frames);
      return 2;
    }
    pos += bytes;
    ++frames;
  }
  if (!writeFile(out, data, wordsLe)) {
    fprintf(stderr, "a52peer: cannot write %s\n", out);
    return 2;
  }
  printf("frames=%ld dither_flags_cleared=%ld\n", frames, cleared);
  return 0;
}

int build(const char* name, const char* out, int frames, bool wordsLe) {
  const BuildSpec* plan = findScenario(name);
  if (!plan) {
    fprintf(stderr, "a52peer: no scenario %s\n", name);
    return 2;
  }
  std::vector<uint8_t> data((size_t)frames * peer::MAX_FRAME_BYTES);
  size_t n = buildStream(*plan, frames, data.data(), data.size());
  if (n == 0) {
    fprintf(stderr, "a52peer: scenario %s does not fit a frame\n", name);
    return 2;
  }
  data.resize(n);
  // Confirm every frame with the core's Crc and the peer's own parse.
  static peer::Frame frame;
  for (size_t pos = 0; pos < n;) {
    size_t bytes = (size_t)peer::frameWords(data[pos + 4] >> 6, data[pos + 4] & 0x3F) * 2;
    if (!setAndConfirmCrcs(data.data() + pos, bytes) || !peer::parseFrame(data.data() + pos, bytes, &frame)) {
      fprintf(stderr, "a52peer: built frame at byte %lu does not check\n", (unsigned long)pos);
      return 2;
    }
    pos += bytes;
  }
  if (!writeFile(out, data, wordsLe)) {
    fprintf(stderr, "a52peer: cannot write %s\n", out);
    return 2;
  }
  printf("scenario=%s frames=%d bytes=%lu fscod=%d bsid=%d acmod=%d lfeon=%d\n", name, frames, (unsigned long)n,
         plan->fscod, plan->bsid, plan->acmod, plan->lfeon);
  return 0;
}

int check(const char* in) {
  std::vector<uint8_t> data;
  if (!readFile(in, &data)) return 2;
  static peer::Frame frame;
  size_t pos = 0;
  long frames = 0, bad = 0, crcBad = 0, dithered = 0, coupled = 0, shortBlocks = 0;
  peer::Bsi first;
  memset(&first, 0, sizeof(first));
  while (pos + 6 <= data.size() && data[pos] == 0x0B && data[pos + 1] == 0x77) {
    size_t bytes = (size_t)peer::frameWords(data[pos + 4] >> 6, data[pos + 4] & 0x3F) * 2;
    if (bytes == 0 || pos + bytes > data.size()) break;
    if (!peer::parseFrame(data.data() + pos, bytes, &frame)) ++bad;
    if (!peer::checkCrcs(data.data() + pos, bytes)) ++crcBad;
    if (frames == 0) first = frame.bsi;
    for (int k = 0; k < 6; ++k) {
      coupled += frame.blk[k].cplinu;
      for (int ch = 0; ch < peer::nfchans(frame.bsi.acmod); ++ch) {
        dithered += frame.blk[k].dithflag[ch];
        shortBlocks += frame.blk[k].blksw[ch];
      }
    }
    pos += bytes;
    ++frames;
  }
  printf(
      "frames=%ld unparsed=%ld crc_errors=%ld dither_flags=%ld trailing=%lu fscod=%d bsid=%d"
      " bsmod=%d acmod=%d lfeon=%d cmixlev=%d surmixlev=%d coupled_blocks=%ld short_blocks=%ld\n",
      frames, bad, crcBad, dithered, (unsigned long)(data.size() - pos), first.fscod, first.bsid, first.bsmod,
      first.acmod, first.lfeon, first.cmixlev, first.surmixlev, coupled, shortBlocks);
  return bad || crcBad || pos != data.size() ? 1 : 0;
}

// Decodes every channel of the stream separately through the core's block command (output
// configuration 3/2 with LFE and an identity matrix), writing 32-bit floats interleaved in
// slot order L, C, R, Ls/S, Rs, LFE at the nominal scale (full scale 1.0).
int multichannel(const char* in, const char* out, int modeWord = 0x2000 | 8 | 7, bool identity6 = true) {
  std::vector<uint8_t> data;
  if (!readFile(in, &data)) return 2;
  FILE* f = fopen(out, "wb");
  if (!f) return 2;
  static uint16_t frame[peer::MAX_FRAME_BYTES / 2];
  static double slots[6][256];
  static float pcm[6 * 256];
  double* outSlots[6];
  int16_t strides[6] = {1, 1, 1, 1, 1, 1};
  int16_t reserved[6] = {0, 0, 0, 0, 0, 0};
  double identity[36] = {0};
  for (int i = 0; i < 6; ++i) {
    outSlots[i] = slots[i];
    identity[i * 6 + i] = 1.0;
  }
  DecoderCommand(kCmdInit, nullptr);
  size_t pos = 0;
  long frames = 0, errors = 0, mismatches = 0;
  const int CPL_CH = peer::CPL, LFE_CH = peer::LFE;
  while (pos + 6 <= data.size() && data[pos] == 0x0B && data[pos + 1] == 0x77) {
    size_t bytes = (size_t)peer::frameWords(data[pos + 4] >> 6, data[pos + 4] & 0x3F) * 2;
    if (bytes == 0 || pos + bytes > data.size()) break;
    for (size_t i = 0; i < bytes / 2; ++i) frame[i] = (uint16_t)((data[pos + 2 * i] << 8) | data[pos + 2 * i + 1]);
    FrameInfoRequest info;
    memset(&info, 0, sizeof(info));
    info.fieldCount = 5;
    info.data = frame;
    DecoderCommand(kCmdFrameInfo, &info);
    BlockRequest req;
    memset(&req, 0, sizeof(req));
    req.fieldCount = 16;
    req.data = frame;
    req.outSlots = outSlots;
    req.outStrides = strides;
    req.reservedTable = reserved;
    req.modeWord = (int16_t)modeWord;
    req.pcmScale = 1.0;
    req.customDownmix = identity6 ? identity : nullptr;
    for (int c = 0; c < 6; ++c) memset(slots[c], 0, sizeof(slots[c]));
    bool failed = false;
    static peer::Frame model;
    int parsed = peer::parseFrame(data.data() + pos, bytes, &model);
    for (int k = 0; k < 6; ++k) {
      req.blockIndex = (int16_t)k;
      if ((DecoderCommand(kCmdDecodeBlock, &req) >> 16) != 0) failed = true;
      // The core's exponents and bit allocation must equal the independent model's.
      const peer::Block& b = model.blk[k];
      for (int ch = 0; parsed && ch < peer::NCH; ++ch) {
        bool present =
            ch < peer::nfchans(model.bsi.acmod) || (ch == CPL_CH && b.cplinu) || (ch == LFE_CH && model.bsi.lfeon);
        if (!present) continue;
        for (int bin = b.strtmant[ch]; bin < b.endmant[ch]; ++bin) {
          if (g_decoder.exps[ch][bin] != b.exps[ch][bin] || g_decoder.bap[ch][bin] != b.bap[ch][bin]) {
            ++mismatches;
            if (mismatches <= 10)
              printf("frame %ld block %d channel %d bin %d: core exp %d bap %d, model exp %d bap %d\n", frames, k, ch,
                     bin, g_decoder.exps[ch][bin], g_decoder.bap[ch][bin], b.exps[ch][bin], b.bap[ch][bin]);
            break;
          }
        }
      }
      for (int i = 0; i < 256; ++i)
        for (int c = 0; c < 6; ++c) pcm[6 * i + c] = (float)slots[c][i];
      fwrite(pcm, sizeof(float), 6 * 256, f);
    }
    errors += failed;
    pos += bytes;
    ++frames;
  }
  fclose(f);
  printf("frames=%ld errors=%ld allocation_mismatches=%ld\n", frames, errors, mismatches);
  return mismatches ? 1 : 0;
}

// The stream decoded by direct formulas for blocks without coupling, short blocks, dither,
// rematrixing or dynamic range words (the model refuses others): coefficients from the model's
// mantissas and exponents, the inverse transform as its defining sum, the Kaiser-Bessel-derived
// window (alpha 5) from its definition, and overlap-add. Writes every channel as 32-bit floats
// in slot order L, C, R, Ls/S, Rs, LFE at the nominal scale.
int reference(const char* in, const char* out) {
  std::vector<uint8_t> data;
  if (!readFile(in, &data)) return 2;
  // Window: w[n] = sqrt(sum_{j<=n} K[j] / sum_{j<=256} K[j]), K the Kaiser-Bessel kernel.
  static double window[512];
  {
    double kernel[257], total = 0;
    for (int j = 0; j <= 256; ++j) {
      double x = 3.14159265358979323846 * 5.0 * sqrt(1.0 - pow(2.0 * j / 256.0 - 1.0, 2.0));
      double term = 1.0, sum = 1.0;
      for (int k = 1; k < 60; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
      }
      kernel[j] = sum;
      total += sum;
    }
    double run = 0;
    for (int n = 0; n < 256; ++n) {
      run += kernel[n];
      window[n] = sqrt(run / total);
      window[511 - n] = window[n];
    }
  }
  static double cosTable[512][256];
  for (int n = 0; n < 512; ++n)
    for (int k = 0; k < 256; ++k)
      cosTable[n][k] = cos(2.0 * 3.14159265358979323846 / 2048.0 * (2.0 * n + 1.0 + 256.0) * (2.0 * k + 1.0));
  static double delay[6][256];
  memset(delay, 0, sizeof(delay));
  FILE* f = fopen(out, "wb");
  if (!f) return 2;
  static peer::Frame model;
  static float pcm[6 * 256];
  size_t pos = 0;
  long frames = 0;
  const int slotOf[8][6] = {{0, 2}, {1}, {0, 2}, {0, 1, 2}, {0, 2, 3}, {0, 1, 2, 3}, {0, 2, 3, 4}, {0, 1, 2, 3, 4}};
  while (pos + 6 <= data.size() && data[pos] == 0x0B && data[pos + 1] == 0x77) {
    size_t bytes = (size_t)peer::frameWords(data[pos + 4] >> 6, data[pos + 4] & 0x3F) * 2;
    if (bytes == 0 || pos + bytes > data.size() || !peer::parseFrame(data.data() + pos, bytes, &model)) {
      fprintf(stderr, "a52peer: frame %ld does not parse\n", frames);
      return 2;
    }
    int nf = peer::nfchans(model.bsi.acmod);
    for (int k = 0; k < 6; ++k) {
      const peer::Block& b = model.blk[k];
      bool unsupported = b.cplinu || b.dynrng != 0 ||
                         (model.bsi.acmod == 2 && (b.rematflg[0] | b.rematflg[1] | b.rematflg[2] | b.rematflg[3])) ||
                         model.bsi.dialnorm != 31;
      for (int ch = 0; ch < nf; ++ch) unsupported = unsupported || b.blksw[ch] || b.dithflag[ch];
      if (unsupported) {
        fprintf(stderr, "a52peer: frame %ld block %d needs more than the direct formulas here\n", frames, k);
        return 2;
      }
      memset(pcm, 0, sizeof(pcm));
      int chans = nf + model.bsi.lfeon;
      for (int c = 0; c < chans; ++c) {
        int ch = c < nf ? c : peer::LFE;
        int slot = c < nf ? slotOf[model.bsi.acmod][c] : 5;
        double X[256] = {0};
        for (int bin = 0; bin < b.endmant[ch]; ++bin) {
          int bap = b.bap[ch][bin], m = b.mant[ch][bin];
          double v = 0;
          int levels = peer::mantissaLevels(bap);
          if (levels) {
            v = (2.0 * m - (levels - 1)) / levels;
          } else if (bap >= 6) {
            int bits = peer::mantissaBits(bap);
            int sv = m >= (1 << (bits - 1)) ? m - (1 << bits) : m;
            v = sv / (double)(1 << (bits - 1));
          }
          X[bin] = v * pow(2.0, -b.exps[ch][bin]);
        }
        double x[512];
        for (int n = 0; n < 512; ++n) {
          double sum = 0;
          for (int kk = 0; kk < 256; ++kk) sum += X[kk] * cosTable[n][kk];
          x[n] =
              -2.0 * sum;  // the inverse transform of A/52 section 7.9.4 (with its factor 2 of pcm = 2 x (x + delay))
        }
        for (int n = 0; n < 256; ++n) {
          double v = x[n] * window[n] + delay[slot][n];
          pcm[6 * n + slot] = (float)v;
          delay[slot][n] = x[256 + n] * window[256 + n];
        }
      }
      fwrite(pcm, sizeof(float), 6 * 256, f);
    }
    pos += bytes;
    ++frames;
  }
  fclose(f);
  printf("frames=%ld\n", frames);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  bool wordsLe = argc > 1 && strcmp(argv[argc - 1], "--words-le") == 0;
  int args = wordsLe ? argc - 1 : argc;
  if (args == 4 && strcmp(argv[1], "undither") == 0) return undither(argv[2], argv[3], wordsLe);
  if (args == 5 && strcmp(argv[1], "build") == 0) return build(argv[2], argv[3], atoi(argv[4]), wordsLe);
  if (args == 3 && strcmp(argv[1], "check") == 0) return check(argv[2]);
  if (args == 4 && strcmp(argv[1], "multichannel") == 0) return multichannel(argv[2], argv[3]);
  if (args == 4 && strcmp(argv[1], "reference") == 0) return reference(argv[2], argv[3]);
  if (args == 5 && strcmp(argv[1], "decode") == 0)
    return multichannel(argv[2], argv[3], (int)strtol(argv[4], nullptr, 0), false);
  if (args == 2 && strcmp(argv[1], "scenarios") == 0) {
    for (const BuildSpec* s = kBuildScenarios; s->name; ++s) printf("%s\n", s->name);
    return 0;
  }
  fprintf(stderr,
          "usage: a52peer undither IN OUT [--words-le] | build SCENARIO OUT FRAMES [--words-le] |"
          " check IN | scenarios\n");
  return 1;
}
