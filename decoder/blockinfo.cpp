// Side information of an audio block (A/52 section 5.4.3), coupling
// coordinates (7.4.3), exponents (7.1.3) and delta bit allocation (7.2.2.6).
#include "decoder/blockinfo.h"

struct Base5Maker {
  uint16_t t[128];
  constexpr Base5Maker() : t() {
    for (int v = 0; v < 125; v++) t[v] = (uint16_t)((v / 25) << 12 | ((v / 5) % 5) << 8 | (v % 5) << 4);
  }
};
static constexpr Base5Maker kBase5Maker;
static_assert(kBase5Maker.t[124] == 0x4440 && kBase5Maker.t[125] == 0, "base-5 group table");
const uint16_t kBase5Groups[128] = {
#define R(i) kBase5Maker.t[i], kBase5Maker.t[i + 1], kBase5Maker.t[i + 2], kBase5Maker.t[i + 3]
#define R16(i) R(i), R(i + 4), R(i + 8), R(i + 12)
    R16(0), R16(16), R16(32), R16(48), R16(64), R16(80), R16(96), R16(112),
#undef R16
#undef R
};

static const int16_t kDeltaByCode[8] = {-512, -384, -256, -128, 128, 256, 384, 512};

static int ReadDeltaSegments(BitReader& r, DeltaSegments& seg) {
  seg.count = (int16_t)(ReadUnsigned(r, 3) + 1);
  int band = 0;
  int status = 0;
  for (int i = 0; i < seg.count; i++) {
    seg.offset[i] = (int16_t)ReadUnsigned(r, 5);
    seg.length[i] = (int16_t)ReadUnsigned(r, 4);
    seg.code[i] = (int16_t)ReadUnsigned(r, 3);
    band += seg.offset[i] + seg.length[i];
    if (band > 50) status = kStatusInconsistent;
  }
  return status;
}

int ParseSideInformation(DecoderState& d, int blockIndex) {
  BitReader& r = d.reader;
  BlockState& b = d.block;
  const FrameHeader& h = d.header;
  const int nf = h.nfchans;
  const bool first = blockIndex == 0;
  int status = 0;
  auto fail = [&]() { status = kStatusInconsistent; };

  for (int ch = 0; ch < nf; ch++) b.blksw[ch] = (int16_t)ReadUnsigned(r, 1);
  for (int ch = 0; ch < nf; ch++) b.dithflag[ch] = (int16_t)ReadUnsigned(r, 1);
  if (ReadUnsigned(r, 1)) b.dynrng = (int16_t)((int16_t)ReadLeftAligned(r, 8) >> 1);
  if (h.acmod == 0 && ReadUnsigned(r, 1)) b.dynrng2 = (int16_t)((int16_t)ReadLeftAligned(r, 8) >> 1);

  // Coupling strategy
  int cplstre = (int)ReadUnsigned(r, 1);
  if (cplstre) {
    b.cplinu = (int16_t)ReadUnsigned(r, 1);
    if (b.cplinu) {
      if (h.acmod == 0) fail();
      b.firstCoupled = -1;
      for (int ch = 0; ch < nf; ch++) {
        b.chincpl[ch] = (int16_t)ReadUnsigned(r, 1);
        if (b.chincpl[ch] && b.firstCoupled < 0) b.firstCoupled = (int16_t)ch;
      }
      if (b.firstCoupled < 0) b.firstCoupled = 0;
      b.phsflginu = h.acmod == 2 ? (int16_t)ReadUnsigned(r, 1) : 0;
      b.cplbegf = (int16_t)ReadUnsigned(r, 4);
      b.cplendf = (int16_t)(ReadUnsigned(r, 4) + 3);
      if (b.cplbegf >= b.cplendf) {  // no sub-band at all: nothing sensible to decode
        fail();
        b.cplendf = (int16_t)(b.cplbegf + 1);
      }
      b.cplstrtmant = (int16_t)(12 * b.cplbegf + 37);
      b.cplendmant = (int16_t)(12 * b.cplendf + 37);
      b.cplbndstrc[b.cplbegf] = 0;
      for (int sb = b.cplbegf + 1; sb < b.cplendf; sb++) b.cplbndstrc[sb] = (int16_t)ReadUnsigned(r, 1);
    } else {
      for (int ch = 0; ch < nf; ch++) b.chincpl[ch] = 0;
      b.phsflginu = 0;
      b.firstCoupled = 0;
    }
  } else if (first) {
    fail();
  }

  // Coupling coordinates
  if (b.cplinu) {
    for (int ch = 0; ch < nf; ch++) {
      b.cplcoe[ch] = 0;
      if (!b.chincpl[ch]) continue;
      b.cplcoe[ch] = (int16_t)ReadUnsigned(r, 1);
      if (!b.cplcoe[ch]) continue;
      int mstrcplco = (int)ReadUnsigned(r, 2);
      for (int sb = b.cplbegf; sb < b.cplendf; sb++) {
        if (sb > b.cplbegf && b.cplbndstrc[sb]) {
          b.cplcoMant[ch][sb] = b.cplcoMant[ch][sb - 1];
          b.cplcoExp[ch][sb] = b.cplcoExp[ch][sb - 1];
          continue;
        }
        int cplcoexp = (int)ReadUnsigned(r, 4);
        uint32_t m = ReadLeftAligned(r, 4);
        b.cplcoExp[ch][sb] = (int16_t)(cplcoexp + 3 * mstrcplco);
        uint32_t mant = cplcoexp == 15 ? m >> 1 : (m >> 2) | 0x4000;
        b.cplcoMant[ch][sb] = mant * (1.0 / 32768.0);
      }
    }
    if (h.acmod == 2 && b.phsflginu && (b.cplcoe[0] || b.cplcoe[1])) {
      int flag = 0;
      for (int sb = b.cplbegf; sb < b.cplendf; sb++) {
        if (sb == b.cplbegf || !b.cplbndstrc[sb]) flag = (int)ReadUnsigned(r, 1);
        double mag = b.cplcoMant[1][sb] < 0 ? -b.cplcoMant[1][sb] : b.cplcoMant[1][sb];
        b.cplcoMant[1][sb] = flag ? -mag : mag;
      }
    }
  }

  // Rematrixing
  if (h.acmod == 2) {
    b.rematstr = (int16_t)ReadUnsigned(r, 1);
    if (b.rematstr) {
      b.anyRematrix = 0;
      int bands = (!b.cplinu || b.cplbegf > 2) ? 4 : (b.cplbegf > 0 ? 3 : 2);
      b.rematBands = (int16_t)bands;
      for (int i = 0; i < bands; i++) {
        b.rematflg[i] = (int16_t)ReadUnsigned(r, 1);
        if (b.rematflg[i]) b.anyRematrix = 1;
      }
    } else if (first) {
      fail();
    }
  } else {
    b.anyRematrix = 0;
  }

  // Exponent strategies
  if (b.cplinu) {
    b.cplexpstr = (int16_t)ReadUnsigned(r, 2);
    if (first && b.cplexpstr == 0) fail();
  }
  for (int ch = 0; ch < nf; ch++) {
    b.chexpstr[ch] = (int16_t)ReadUnsigned(r, 2);
    if (first && b.chexpstr[ch] == 0) fail();
  }
  if (h.lfeon) {
    b.lfeexpstr = (int16_t)ReadUnsigned(r, 1);
    if (first && b.lfeexpstr == 0) fail();
  }
  for (int ch = 0; ch < nf; ch++) {
    if (b.chexpstr[ch] == 0) continue;
    if (b.cplinu && b.chincpl[ch]) {
      b.endmant[ch] = b.cplstrtmant;
    } else {
      int chbwcod = (int)ReadUnsigned(r, 6);
      if (chbwcod > 60) {
        fail();
        chbwcod = 60;
      }
      b.endmant[ch] = (int16_t)(3 * chbwcod + 73);
    }
  }

  // Exponents: note where the groups lie and skip them
  if (b.cplinu && b.cplexpstr != 0) {
    ExponentRecord& e = b.expRecord[kCplIndex];
    e.groupSize = (int16_t)(1 << (b.cplexpstr - 1));
    e.groupCount = (int16_t)((b.cplendmant - b.cplstrtmant) / (3 * e.groupSize));
    e.firstExp = (int16_t)(2 * ReadUnsigned(r, 4));
    e.position = Mark(r);
    Skip(r, 7 * e.groupCount);
  }
  for (int ch = 0; ch < nf; ch++) {
    if (b.chexpstr[ch] == 0) continue;
    ExponentRecord& e = b.expRecord[ch];
    e.groupSize = (int16_t)(1 << (b.chexpstr[ch] - 1));
    int per = 3 * e.groupSize;
    e.groupCount = (int16_t)((b.endmant[ch] - 1 + per - 1) / per);
    e.firstExp = (int16_t)ReadUnsigned(r, 4);
    e.position = Mark(r);
    Skip(r, 7 * e.groupCount);
    b.gainrng[ch] = (int16_t)ReadUnsigned(r, 2);
  }
  if (h.lfeon && b.lfeexpstr) {
    ExponentRecord& e = b.expRecord[kLfeIndex];
    e.groupSize = 1;
    e.groupCount = 2;
    e.firstExp = (int16_t)ReadUnsigned(r, 4);
    e.position = Mark(r);
    Skip(r, 14);
  }

  // Bit allocation parameters
  b.baie = (int16_t)ReadUnsigned(r, 1);
  if (b.baie) {
    b.sdcycod = (int16_t)ReadUnsigned(r, 2);
    b.fdcycod = (int16_t)ReadUnsigned(r, 2);
    b.sgaincod = (int16_t)ReadUnsigned(r, 2);
    b.dbpbcod = (int16_t)ReadUnsigned(r, 2);
    b.floorcod = (int16_t)ReadUnsigned(r, 3);
  } else if (first) {
    fail();
  }
  b.snroffste = (int16_t)ReadUnsigned(r, 1);
  if (b.snroffste) {
    b.csnroffst = (int16_t)ReadUnsigned(r, 6);
    if (b.cplinu) {
      b.cplfsnroffst = (int16_t)ReadUnsigned(r, 4);
      b.cplfgaincod = (int16_t)ReadUnsigned(r, 3);
    }
    for (int ch = 0; ch < nf; ch++) {
      b.fsnroffst[ch] = (int16_t)ReadUnsigned(r, 4);
      b.fgaincod[ch] = (int16_t)ReadUnsigned(r, 3);
    }
    if (h.lfeon) {
      b.lfefsnroffst = (int16_t)ReadUnsigned(r, 4);
      b.lfefgaincod = (int16_t)ReadUnsigned(r, 3);
    }
  } else if (first) {
    fail();
  }
  b.cplleake = 0;
  if (b.cplinu) {
    b.cplleake = (int16_t)ReadUnsigned(r, 1);
    if (b.cplleake) {
      b.cplfleak = (int16_t)(ReadUnsigned(r, 3) * 256 + 768);
      b.cplsleak = (int16_t)(ReadUnsigned(r, 3) * 256 + 768);
    } else if (first) {
      fail();
    }
  }

  // Delta bit allocation
  b.deltbaie = (int16_t)ReadUnsigned(r, 1);
  if (b.deltbaie) {
    if (b.cplinu) b.cpldeltbae = (int16_t)ReadUnsigned(r, 2);
    for (int ch = 0; ch < nf; ch++) b.deltbae[ch] = (int16_t)ReadUnsigned(r, 2);
    if (b.cplinu) {
      if (b.cpldeltbae == 1) {
        if (ReadDeltaSegments(r, b.delta[kMaxChannels])) fail();
      } else if (b.cpldeltbae >= 2) {
        b.delta[kMaxChannels].count = 0;
      }
    }
    for (int ch = 0; ch < nf; ch++) {
      if (b.deltbae[ch] == 1) {
        if (ReadDeltaSegments(r, b.delta[ch])) fail();
      } else if (b.deltbae[ch] >= 2) {
        b.delta[ch].count = 0;
      }
    }
  }

  // Skip field
  if (ReadUnsigned(r, 1)) Skip(r, 8 * (int)ReadUnsigned(r, 9));
  return status;
}

int DecodeExponents(BitReader& r, const ExponentRecord& rec, int16_t* exps, int startBin) {
  uint32_t saved = Mark(r);
  Resume(r, rec.position);
  int e = rec.firstExp;
  int bin = startBin;
  auto clamp = [](int v) { return (int16_t)(v < 0 ? 0 : (v > 24 ? 24 : v)); };
  if (startBin == 0) exps[bin++] = clamp(e);
  const int g = rec.groupSize;
  const int first = bin;
  int i = 0;
  // Whole groups: three exponents, each repeated g times, stored unclamped.
  // `range` ORs each value v and v + 7 as unsigned numbers: for v in 0..24 both
  // stay within 0..31; a negative v wraps to a huge number and 25..31 + 7 reach
  // 32, so range > 31 exactly when some value left 0..24 (never in valid streams).
  uint32_t range = 0;
  for (; i < rec.groupCount && bin + 3 * g <= kBins; i++) {
    const uint16_t digits = kBase5Groups[ReadUnsigned(r, 7)];
    const int e1 = e + (digits >> 12) - 2;
    const int e2 = e1 + ((digits >> 8) & 15) - 2;
    e = e2 + ((digits >> 4) & 15) - 2;
    range |= (uint32_t)e1 | (uint32_t)(e1 + 7) | (uint32_t)e2 | (uint32_t)(e2 + 7) | (uint32_t)e | (uint32_t)(e + 7);
    const int16_t v1 = (int16_t)e1, v2 = (int16_t)e2, v3 = (int16_t)e;
    if (g == 1) {
      exps[bin] = v1;
      exps[bin + 1] = v2;
      exps[bin + 2] = v3;
    } else {
      for (int j = 0; j < g; j++) {
        exps[bin + j] = v1;
        exps[bin + g + j] = v2;
        exps[bin + 2 * g + j] = v3;
      }
    }
    bin += 3 * g;
    if (range > 31) {  // an exponent out of range: clamp, the rest group by group below
      i++;
      break;
    }
  }
  if (range > 31)
    for (int k = first; k < bin; k++) exps[k] = clamp(exps[k]);
  // A last group that reaches past the final bin.
  for (; i < rec.groupCount; i++) {
    uint16_t digits = kBase5Groups[ReadUnsigned(r, 7)];
    for (int k = 0; k < 3; k++) {
      e += (digits >> 12) - 2;
      digits = (uint16_t)(digits << 4);
      int16_t v = clamp(e);
      for (int j = 0; j < g && bin < kBins; j++) exps[bin++] = v;
    }
  }
  Resume(r, saved);
  return bin;
}

void BuildDeltaArray(const DeltaSegments& seg, int16_t delta[50]) {
  for (int i = 0; i < 50; i++) delta[i] = 0;
  int band = 0;
  for (int i = 0; i < seg.count && i < 8; i++) {
    band += seg.offset[i];
    for (int k = 0; k < seg.length[i] && band < 50; k++) delta[band++] = kDeltaByCode[seg.code[i] & 7];
  }
}
