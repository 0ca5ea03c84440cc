// peer_a52: the independent A/52 syntax walk, bit allocation and frame check (see peer_a52.h).
#include "decoder/tests/peer_a52.h"

#include <math.h>
#include <string.h>

#include "common/tx_util.h"

namespace peer {
namespace {

static const int kNfchans[8] = {2, 1, 2, 3, 3, 4, 4, 5};
static const int kBitRates[19] = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                  192, 224, 256, 320, 384, 448, 512, 576, 640};

// A/52 section 7.2.2 tables.
static const int kSlowDec[4] = {0x0f, 0x11, 0x13, 0x15};
static const int kFastDec[4] = {0x3f, 0x53, 0x67, 0x7b};
static const int kSlowGain[4] = {0x540, 0x4d8, 0x478, 0x410};
static const int kDbPerBit[4] = {0x000, 0x700, 0x900, 0xb00};
static const int kFloor[8] = {0x2f0, 0x2b0, 0x270, 0x230, 0x1f0, 0x170, 0x0f0, (int)0xfffff800};
static const int kFastGain[8] = {0x080, 0x100, 0x180, 0x200, 0x280, 0x300, 0x380, 0x400};
static const int kBapTab[64] = {0,  1,  1,  1,  1,  1,  2,  2,  3,  3,  3,  4,  4,  5,  5,  6,  6,  6,  6,  7,  7,  7,
                                7,  8,  8,  8,  8,  9,  9,  9,  9,  10, 10, 10, 10, 11, 11, 11, 11, 12, 12, 12, 12, 13,
                                13, 13, 13, 14, 14, 14, 14, 14, 14, 14, 14, 15, 15, 15, 15, 15, 15, 15, 15, 15};
static_assert(ARRAY_SIZE(kBapTab) == 64, "baptab has 64 entries");
static const int kHth[3][50] = {
    {0x04d0, 0x04d0, 0x0440, 0x0400, 0x03e0, 0x03c0, 0x03b0, 0x03b0, 0x03a0, 0x03a0, 0x03a0, 0x03a0, 0x03a0,
     0x0390, 0x0390, 0x0390, 0x0380, 0x0380, 0x0370, 0x0370, 0x0360, 0x0360, 0x0350, 0x0350, 0x0340, 0x0340,
     0x0330, 0x0320, 0x0310, 0x0300, 0x02f0, 0x02f0, 0x02f0, 0x02f0, 0x0300, 0x0310, 0x0340, 0x0390, 0x03e0,
     0x0420, 0x0460, 0x0490, 0x04a0, 0x0460, 0x0440, 0x0440, 0x0520, 0x0800, 0x0840, 0x0840},
    {0x04f0, 0x04f0, 0x0460, 0x0410, 0x03e0, 0x03d0, 0x03c0, 0x03b0, 0x03b0, 0x03a0, 0x03a0, 0x03a0, 0x03a0,
     0x03a0, 0x0390, 0x0390, 0x0390, 0x0380, 0x0380, 0x0380, 0x0370, 0x0370, 0x0360, 0x0360, 0x0350, 0x0350,
     0x0340, 0x0340, 0x0320, 0x0310, 0x0300, 0x02f0, 0x02f0, 0x02f0, 0x02f0, 0x0300, 0x0320, 0x0350, 0x0390,
     0x03e0, 0x0420, 0x0450, 0x04a0, 0x0490, 0x0460, 0x0440, 0x0480, 0x0630, 0x0840, 0x0840},
    {0x0580, 0x0580, 0x04b0, 0x0450, 0x0420, 0x03f0, 0x03e0, 0x03d0, 0x03c0, 0x03b0, 0x03b0, 0x03b0, 0x03a0,
     0x03a0, 0x03a0, 0x03a0, 0x03a0, 0x03a0, 0x03a0, 0x03a0, 0x0390, 0x0390, 0x0390, 0x0390, 0x0380, 0x0380,
     0x0380, 0x0370, 0x0360, 0x0350, 0x0340, 0x0330, 0x0320, 0x0310, 0x0300, 0x02f0, 0x02f0, 0x02f0, 0x0300,
     0x0310, 0x0330, 0x0350, 0x03c0, 0x0410, 0x0470, 0x04a0, 0x0460, 0x0440, 0x0450, 0x04e0}};

// Band sizes: 28 bands of 1 bin, 7 of 3, 6 of 6, 4 of 12, 5 of 24 (253 bins).
int bandStart(int band) {
  static int start[51];
  if (start[50] == 0) {
    int b = 0, bin = 0;
    for (; b < 28; ++b) start[b] = bin++;
    for (; b < 35; ++b, bin += 3) start[b] = bin;
    for (; b < 41; ++b, bin += 6) start[b] = bin;
    for (; b < 45; ++b, bin += 12) start[b] = bin;
    for (; b < 50; ++b, bin += 24) start[b] = bin;
    start[50] = bin;
  }
  return start[band];
}

int maskBand(int bin) {
  int b = 0;
  while (b < 49 && bandStart(b + 1) <= bin) ++b;
  return b;
}

// latab (A/52 Table 7.14): log-addition of two powers 2i units apart, in units of
// 6/128 dB, truncated: 128/6 * 10 log10(1 + 10^(-2i * 6 / 1280)).
int logAddTable(int i) {
  static int table[256];
  static bool made = false;
  if (!made) {
    for (int k = 0; k < 256; ++k)
      table[k] = (int)(10.0 * log10(1.0 + pow(10.0, -(2.0 * k) * (6.0 / 128.0) / 10.0)) / (6.0 / 128.0));
    made = true;
  }
  return table[i];
}

int logAdd(int a, int b) {
  int c = a - b;
  int address = (c < 0 ? -c : c) >> 1;
  if (address > 255) address = 255;
  return (c >= 0 ? a : b) + logAddTable(address);
}

int lowComp(int a, int b0, int b1, int bin) {
  if (bin < 7) {
    if (b0 + 256 == b1) a = 384;
    else if (b0 > b1) a = a - 64 > 0 ? a - 64 : 0;
  } else if (bin < 20) {
    if (b0 + 256 == b1) a = 320;
    else if (b0 > b1) a = a - 64 > 0 ? a - 64 : 0;
  } else {
    a = a - 128 > 0 ? a - 128 : 0;
  }
  return a;
}

int imax(int a, int b) { return a > b ? a : b; }
int imin(int a, int b) { return a < b ? a : b; }

// Bit I/O over a frame buffer in A/52 byte order. Reading past `limitBits` yields zeros
// and marks an overrun; writing past it marks an overrun and stores nothing.
struct BitIo {
  uint8_t* data;
  size_t limitBits;
  size_t pos;
  bool writing;
  bool overrun;
  bool bad;

  // Reads (or writes) an n-bit field into (from) v.
  void field(int& v, int n) {
    if (writing) {
      for (int i = n - 1; i >= 0; --i) {
        if (pos >= limitBits) {
          overrun = true;
          ++pos;
          continue;
        }
        if (data) {
          uint8_t bit = (uint8_t)(((unsigned)v >> i) & 1u);
          uint8_t mask = (uint8_t)(0x80u >> (pos & 7));
          data[pos >> 3] = (uint8_t)(bit ? (data[pos >> 3] | mask) : (data[pos >> 3] & ~mask));
        }
        ++pos;
      }
    } else {
      unsigned r = 0;
      for (int i = 0; i < n; ++i) {
        unsigned bit = 0;
        if (pos >= limitBits) overrun = true;
        else bit = (data[pos >> 3] >> (7 - (pos & 7))) & 1u;
        r = (r << 1) | bit;
        ++pos;
      }
      v = (int)r;
    }
  }
};

// Grouped mantissas of bap 1, 2 and 4 in stream order: reading splits each group code as
// it comes; writing takes the codes prepared by groupCodes().
struct Groups {
  int pending[5];  // digits still to hand out, per bap 1, 2, 4
  int digits[5][3];
  int next[5];
  // Prepared codes when writing.
  int* codes[5];
  int codeCount[5];
};

int groupSize(int bap) { return bap == 4 ? 2 : 3; }

void splitGroup(int bap, int code, int* d) {
  if (bap == 1) {
    d[0] = code / 9;
    d[1] = (code / 3) % 3;
    d[2] = code % 3;
  } else if (bap == 2) {
    d[0] = code / 25;
    d[1] = (code / 5) % 5;
    d[2] = code % 5;
  } else {
    d[0] = code / 11;
    d[1] = code % 11;
    d[2] = 0;
  }
}

struct Walker {
  BitIo io;
  Frame* frame;
  Groups groups;
  // Writing: the codes of every group in stream order, per bap type.
  int groupCodes[5][1600];
  int groupFill[5];
  int groupDigit[5];
  bool collecting;  // writing, first pass: gather grouped values
  int outOfRange;

  void mantissa(Block& b, int ch, int bin) {
    int bap = b.bap[ch][bin];
    int& m = b.mant[ch][bin];
    if (bap == 0) return;
    if (bap == 1 || bap == 2 || bap == 4) {
      int n = groupSize(bap);
      if (collecting) {
        // Gather this value into the group being formed.
        int radix = mantissaLevels(bap);
        if (groupDigit[bap] == 0) {
          groupCodes[bap][groupFill[bap]++] = 0;
          io.pos += mantissaBits(bap);  // the group's code goes here (no data in this pass)
        }
        int& code = groupCodes[bap][groupFill[bap] - 1];
        int weight = 1;
        for (int k = groupDigit[bap] + 1; k < n; ++k) weight *= radix;
        code += m * weight;
        groupDigit[bap] = (groupDigit[bap] + 1) % n;
        return;
      }
      if (groups.pending[bap] == 0) {
        int code = 0;
        if (io.writing) code = groupCodes[bap][groups.next[bap]++];
        io.field(code, mantissaBits(bap));
        if (code >= (bap == 1 ? 27 : bap == 2 ? 125 : 121)) ++outOfRange;
        splitGroup(bap, code, groups.digits[bap]);
        groups.pending[bap] = n;
      }
      if (!io.writing) m = groups.digits[bap][n - groups.pending[bap]];
      --groups.pending[bap];
      return;
    }
    io.field(m, mantissaBits(bap));
  }

  void exponents(Block& b, int ch, int grpsize, int ngrps, int first) {
    int e = first;
    int bin = b.strtmant[ch];
    if (ch != CPL) b.exps[ch][bin++] = e;
    for (int g = 0; g < ngrps; ++g) {
      io.field(b.expgrp[ch][g], 7);
      int v = b.expgrp[ch][g];
      if (v > 124) ++outOfRange;
      int d[3] = {v / 25, (v / 5) % 5, v % 5};
      for (int k = 0; k < 3; ++k) {
        e += d[k] - 2;
        if (e < 0 || e > 24) ++outOfRange;
        for (int r = 0; r < grpsize && bin < 256; ++r) b.exps[ch][bin++] = e;
      }
    }
  }

  void allocate(Block& b, int ch, int rateShift) {
    const Bsi& h = frame->bsi;
    int deltas[50];
    bool useDelta = ch != LFE && b.deltnseg[ch] > 0;
    if (useDelta) {
      memset(deltas, 0, sizeof(deltas));
      int band = 0;
      for (int s = 0; s < b.deltnseg[ch]; ++s) {
        band += b.deltoffst[ch][s];
        int delta = b.deltba[ch][s] >= 4 ? (b.deltba[ch][s] - 3) * 128 : (b.deltba[ch][s] - 4) * 128;
        for (int k = 0; k < b.deltlen[ch][s]; ++k) {
          if (band < 50) deltas[band] += delta;
          else ++outOfRange;
          ++band;
        }
      }
    }
    int snroffset = (((b.csnroffst - 15) * 16) + b.fsnroffst[ch]) * 4;
    bool anyOffset = b.csnroffst != 0;
    int nf = nfchans(h.acmod);
    for (int c = 0; c < nf; ++c) anyOffset = anyOffset || b.fsnroffst[c] != 0;
    if (b.cplinu) anyOffset = anyOffset || b.fsnroffst[CPL] != 0;
    if (h.lfeon) anyOffset = anyOffset || b.fsnroffst[LFE] != 0;
    if (!anyOffset) {
      for (int bin = b.strtmant[ch]; bin < b.endmant[ch]; ++bin) b.bap[ch][bin] = 0;
      return;
    }
    bitAllocation(b.strtmant[ch], b.endmant[ch], b.exps[ch], h.fscod, rateShift, b.sdcycod, b.fdcycod, b.sgaincod,
                  b.dbpbcod, b.floorcod, b.fgaincod[ch], snroffset, (b.cplfleak << 8) + 768, (b.cplsleak << 8) + 768,
                  useDelta ? deltas : nullptr, b.bap[ch]);
  }

  void deltaSegments(Block& b, int ch) {
    int v = b.deltnseg[ch] - 1;  // the stream holds the count less one
    io.field(v, 3);
    int n = v + 1;
    for (int s = 0; s < n; ++s) {
      io.field(b.deltoffst[ch][s], 5);
      io.field(b.deltlen[ch][s], 4);
      io.field(b.deltba[ch][s], 3);
    }
    b.deltnseg[ch] = n;  // held as the segment count
  }

  void block(int k) {
    Bsi& h = frame->bsi;
    Block& b = frame->blk[k];
    if (k > 0 && !io.writing) b = frame->blk[k - 1];
    if (k > 0 && io.writing) {
      // Writing: carry what this block does not send.
      const Block& p = frame->blk[k - 1];
      if (!b.cplstre) {
        b.cplinu = p.cplinu;
        b.phsflginu = p.phsflginu;
        b.cplbegf = p.cplbegf;
        b.cplendf = p.cplendf;
        memcpy(b.chincpl, p.chincpl, sizeof(b.chincpl));
        memcpy(b.cplbndstrc, p.cplbndstrc, sizeof(b.cplbndstrc));
      }
      for (int ch = 0; ch < NCH; ++ch) {
        if (b.expstr[ch] == 0) {
          memcpy(b.exps[ch], p.exps[ch], sizeof(b.exps[ch]));
          b.endmant[ch] = p.endmant[ch];
          b.strtmant[ch] = p.strtmant[ch];
        }
      }
      if (!b.baie) {
        b.sdcycod = p.sdcycod;
        b.fdcycod = p.fdcycod;
        b.sgaincod = p.sgaincod;
        b.dbpbcod = p.dbpbcod;
        b.floorcod = p.floorcod;
      }
      if (!b.snroffste) {
        b.csnroffst = p.csnroffst;
        memcpy(b.fsnroffst, p.fsnroffst, sizeof(b.fsnroffst));
        memcpy(b.fgaincod, p.fgaincod, sizeof(b.fgaincod));
      }
      if (!b.cplleake) {
        b.cplfleak = p.cplfleak;
        b.cplsleak = p.cplsleak;
      }
      for (int ch = 0; ch < NCH; ++ch) {
        if (!b.deltbaie || b.deltbae[ch] == 0) {
          b.deltnseg[ch] = p.deltnseg[ch];
          memcpy(b.deltoffst[ch], p.deltoffst[ch], sizeof(b.deltoffst[ch]));
          memcpy(b.deltlen[ch], p.deltlen[ch], sizeof(b.deltlen[ch]));
          memcpy(b.deltba[ch], p.deltba[ch], sizeof(b.deltba[ch]));
        }
      }
      if (h.acmod == 2 && !b.rematstr) memcpy(b.rematflg, p.rematflg, sizeof(b.rematflg));
      if (!b.dynrnge) b.dynrng = p.dynrng;
      if (!b.dynrng2e) b.dynrng2 = p.dynrng2;
    }
    if (k == 0) {
      // Block 0 starts without delta segments unless it sends new ones.
      for (int ch = 0; ch < NCH; ++ch)
        if (!io.writing || !b.deltbaie || b.deltbae[ch] != 1) b.deltnseg[ch] = 0;
    }
    int nf = nfchans(h.acmod);
    int rateShift = h.bsid == 9 ? 1 : h.bsid == 10 ? 2 : 0;
    b.startBit = io.pos;
    for (int ch = 0; ch < nf; ++ch) io.field(b.blksw[ch], 1);
    for (int ch = 0; ch < nf; ++ch) {
      b.dithflagBit[ch] = io.pos;
      io.field(b.dithflag[ch], 1);
    }
    io.field(b.dynrnge, 1);
    if (b.dynrnge) io.field(b.dynrng, 8);
    if (h.acmod == 0) {
      io.field(b.dynrng2e, 1);
      if (b.dynrng2e) io.field(b.dynrng2, 8);
    }
    io.field(b.cplstre, 1);
    if (b.cplstre) {
      io.field(b.cplinu, 1);
      if (b.cplinu) {
        for (int ch = 0; ch < nf; ++ch) io.field(b.chincpl[ch], 1);
        if (h.acmod == 2) io.field(b.phsflginu, 1);
        else b.phsflginu = 0;
        io.field(b.cplbegf, 4);
        io.field(b.cplendf, 4);
        int nsub = 3 + b.cplendf - b.cplbegf;
        if (nsub < 1) {
          ++outOfRange;
          nsub = 1;
        }
        b.cplbndstrc[0] = 0;
        for (int s = 1; s < nsub; ++s) io.field(b.cplbndstrc[s], 1);
      } else {
        for (int ch = 0; ch < 5; ++ch) b.chincpl[ch] = 0;
        b.phsflginu = 0;
      }
    }
    int nsub = 3 + b.cplendf - b.cplbegf;
    if (nsub < 1) nsub = 1;
    int nbands = 0;
    for (int s = 0; s < nsub; ++s) nbands += b.cplbndstrc[s] ? 0 : 1;
    if (b.cplinu) {
      for (int ch = 0; ch < nf; ++ch) {
        if (!b.chincpl[ch]) {
          b.cplcoe[ch] = 0;
          continue;
        }
        io.field(b.cplcoe[ch], 1);
        if (b.cplcoe[ch]) {
          io.field(b.mstrcplco[ch], 2);
          for (int bnd = 0; bnd < nbands; ++bnd) {
            io.field(b.cplcoexp[ch][bnd], 4);
            io.field(b.cplcomant[ch][bnd], 4);
          }
        }
      }
      if (h.acmod == 2 && b.phsflginu && (b.cplcoe[0] || b.cplcoe[1]))
        for (int bnd = 0; bnd < nbands; ++bnd) io.field(b.phsflg[bnd], 1);
    } else {
      for (int ch = 0; ch < 5; ++ch) b.cplcoe[ch] = 0;
    }
    if (h.acmod == 2) {
      io.field(b.rematstr, 1);
      if (b.rematstr) {
        int n = !b.cplinu || b.cplbegf > 2 ? 4 : b.cplbegf > 0 ? 3 : 2;
        for (int i = 0; i < n; ++i) io.field(b.rematflg[i], 1);
        for (int i = n; i < 4; ++i) b.rematflg[i] = 0;
      }
    }
    if (b.cplinu) io.field(b.expstr[CPL], 2);
    for (int ch = 0; ch < nf; ++ch) io.field(b.expstr[ch], 2);
    if (h.lfeon) io.field(b.expstr[LFE], 1);
    int cplstrt = 12 * b.cplbegf + 37;
    int cplend = 12 * (b.cplendf + 3) + 37;
    for (int ch = 0; ch < nf; ++ch) {
      if (b.expstr[ch] == 0) continue;
      b.strtmant[ch] = 0;
      if (b.cplinu && b.chincpl[ch]) {
        b.endmant[ch] = cplstrt;
      } else {
        io.field(b.chbwcod[ch], 6);
        if (b.chbwcod[ch] > 60) ++outOfRange;
        b.endmant[ch] = 3 * b.chbwcod[ch] + 73;
      }
    }
    if (b.cplinu && b.expstr[CPL] != 0) {
      b.strtmant[CPL] = cplstrt;
      b.endmant[CPL] = cplend;
      int g = 1 << (b.expstr[CPL] - 1);
      io.field(b.absexp[CPL], 4);
      exponents(b, CPL, g, (cplend - cplstrt) / (3 * g), b.absexp[CPL] << 1);
    }
    for (int ch = 0; ch < nf; ++ch) {
      if (b.expstr[ch] == 0) continue;
      int g = 1 << (b.expstr[ch] - 1);
      io.field(b.absexp[ch], 4);
      exponents(b, ch, g, (b.endmant[ch] - 1 + 3 * g - 1) / (3 * g), b.absexp[ch]);
      io.field(b.gainrng[ch], 2);
    }
    if (h.lfeon && b.expstr[LFE]) {
      b.strtmant[LFE] = 0;
      b.endmant[LFE] = 7;
      io.field(b.absexp[LFE], 4);
      exponents(b, LFE, 1, 2, b.absexp[LFE]);
    }
    io.field(b.baie, 1);
    if (b.baie) {
      io.field(b.sdcycod, 2);
      io.field(b.fdcycod, 2);
      io.field(b.sgaincod, 2);
      io.field(b.dbpbcod, 2);
      io.field(b.floorcod, 3);
    }
    io.field(b.snroffste, 1);
    if (b.snroffste) {
      io.field(b.csnroffst, 6);
      if (b.cplinu) {
        io.field(b.fsnroffst[CPL], 4);
        io.field(b.fgaincod[CPL], 3);
      }
      for (int ch = 0; ch < nf; ++ch) {
        io.field(b.fsnroffst[ch], 4);
        io.field(b.fgaincod[ch], 3);
      }
      if (h.lfeon) {
        io.field(b.fsnroffst[LFE], 4);
        io.field(b.fgaincod[LFE], 3);
      }
    }
    if (b.cplinu) {
      io.field(b.cplleake, 1);
      if (b.cplleake) {
        io.field(b.cplfleak, 3);
        io.field(b.cplsleak, 3);
      }
    }
    io.field(b.deltbaie, 1);
    if (b.deltbaie) {
      if (b.cplinu) io.field(b.deltbae[CPL], 2);
      for (int ch = 0; ch < nf; ++ch) io.field(b.deltbae[ch], 2);
      if (b.cplinu) {
        if (b.deltbae[CPL] == 1) deltaSegments(b, CPL);
        else if (b.deltbae[CPL] >= 2) b.deltnseg[CPL] = 0;
      }
      for (int ch = 0; ch < nf; ++ch) {
        if (b.deltbae[ch] == 1) deltaSegments(b, ch);
        else if (b.deltbae[ch] >= 2) b.deltnseg[ch] = 0;
      }
    }
    io.field(b.skiple, 1);
    if (b.skiple) {
      io.field(b.skipl, 9);
      for (int i = 0; i < b.skipl; ++i) io.field(b.skipbyte[i], 8);
    }
    // Bit allocation, then the mantissas in stream order.
    for (int ch = 0; ch < nf; ++ch) allocate(b, ch, rateShift);
    if (b.cplinu) allocate(b, CPL, rateShift);
    if (h.lfeon) allocate(b, LFE, rateShift);
    memset(groups.pending, 0, sizeof(groups.pending));
    if (collecting) memset(groupDigit, 0, sizeof(groupDigit));
    bool gotCpl = false;
    for (int ch = 0; ch < nf; ++ch) {
      for (int bin = 0; bin < b.endmant[ch]; ++bin) mantissa(b, ch, bin);
      if (b.cplinu && b.chincpl[ch] && !gotCpl) {
        for (int bin = cplstrt; bin < cplend; ++bin) mantissa(b, CPL, bin);
        gotCpl = true;
      }
    }
    if (h.lfeon)
      for (int bin = 0; bin < 7; ++bin) mantissa(b, LFE, bin);
  }

  void header() {
    Bsi& h = frame->bsi;
    int sync = 0x0B77;
    io.field(sync, 16);
    if (sync != 0x0B77) ++outOfRange;
    io.field(h.crc1, 16);
    io.field(h.fscod, 2);
    io.field(h.frmsizecod, 6);
    io.field(h.bsid, 5);
    io.field(h.bsmod, 3);
    io.field(h.acmod, 3);
    if ((h.acmod & 1) && h.acmod != 1) io.field(h.cmixlev, 2);
    if (h.acmod & 4) io.field(h.surmixlev, 2);
    if (h.acmod == 2) io.field(h.dsurmod, 2);
    io.field(h.lfeon, 1);
    io.field(h.dialnorm, 5);
    io.field(h.compre, 1);
    if (h.compre) io.field(h.compr, 8);
    io.field(h.langcode, 1);
    if (h.langcode) io.field(h.langcod, 8);
    io.field(h.audprodie, 1);
    if (h.audprodie) {
      io.field(h.mixlevel, 5);
      io.field(h.roomtyp, 2);
    }
    if (h.acmod == 0) {
      io.field(h.dialnorm2, 5);
      io.field(h.compr2e, 1);
      if (h.compr2e) io.field(h.compr2, 8);
      io.field(h.langcod2e, 1);
      if (h.langcod2e) io.field(h.langcod2, 8);
      io.field(h.audprodi2e, 1);
      if (h.audprodi2e) {
        io.field(h.mixlevel2, 5);
        io.field(h.roomtyp2, 2);
      }
    }
    io.field(h.copyrightb, 1);
    io.field(h.origbs, 1);
    io.field(h.timecod1e, 1);
    if (h.timecod1e) io.field(h.timecod1, 14);
    io.field(h.timecod2e, 1);
    if (h.timecod2e) io.field(h.timecod2, 14);
    io.field(h.addbsie, 1);
    if (h.addbsie) {
      io.field(h.addbsil, 6);
      for (int i = 0; i <= h.addbsil; ++i) io.field(h.addbsi[i], 8);
    }
    if (h.bsid > 10 || h.fscod == 3 || h.frmsizecod > 37) ++outOfRange;
  }

  void run() {
    header();
    if (outOfRange) return;
    for (int k = 0; k < 6; ++k) block(k);
    frame->endBit = io.pos;
  }
};

void crcSection(uint8_t* data, size_t fromWord, size_t toWord, size_t crcWord) {
  // Clear the check word, take the section's remainder, then solve for the check word
  // value that makes the section's remainder zero (the remainder is linear in it).
  data[2 * crcWord] = 0;
  data[2 * crcWord + 1] = 0;
  size_t bytes = 2 * (toWord - fromWord + 1);
  unsigned target = crc16(0, data + 2 * fromWord, bytes);
  // Contribution of each bit of the check word.
  unsigned column[16];
  for (int bit = 0; bit < 16; ++bit) {
    uint8_t probe[MAX_FRAME_BYTES];
    memset(probe, 0, bytes);
    size_t at = 2 * (crcWord - fromWord);
    probe[at] = (uint8_t)((1u << bit) >> 8);
    probe[at + 1] = (uint8_t)((1u << bit) & 0xFF);
    column[bit] = crc16(0, probe, bytes);
  }
  // Gaussian elimination over GF(2): find v with XOR of column[bit] for set bits == target.
  unsigned rows[16];
  unsigned combo[16];
  for (int i = 0; i < 16; ++i) {
    rows[i] = column[i];
    combo[i] = 1u << i;
  }
  unsigned value = 0;
  unsigned rest = target;
  for (int pivotBit = 15, r = 0; pivotBit >= 0 && r < 16; --pivotBit) {
    int sel = -1;
    for (int i = r; i < 16; ++i)
      if ((rows[i] >> pivotBit) & 1u) {
        sel = i;
        break;
      }
    if (sel < 0) continue;
    unsigned t = rows[sel];
    rows[sel] = rows[r];
    rows[r] = t;
    t = combo[sel];
    combo[sel] = combo[r];
    combo[r] = t;
    for (int i = 0; i < 16; ++i)
      if (i != r && ((rows[i] >> pivotBit) & 1u)) {
        rows[i] ^= rows[r];
        combo[i] ^= combo[r];
      }
    if ((rest >> pivotBit) & 1u) {
      rest ^= rows[r];
      value ^= combo[r];
    }
    ++r;
  }
  data[2 * crcWord] = (uint8_t)(value >> 8);
  data[2 * crcWord + 1] = (uint8_t)(value & 0xFF);
}

}  // namespace

int nfchans(int acmod) { return kNfchans[acmod & 7]; }

int frameWords(int fscod, int frmsizecod) {
  if (fscod < 0 || fscod > 2 || frmsizecod < 0 || frmsizecod > 37) return 0;
  int kbps = kBitRates[frmsizecod >> 1];
  if (fscod == 0) return 2 * kbps;
  if (fscod == 1) return kbps * 96000 / 44100 + (frmsizecod & 1);
  return 3 * kbps;
}

int mantissaBits(int bap) {
  static const int bits[16] = {0, 5, 7, 3, 7, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 16};
  return bits[bap & 15];
}

int mantissaLevels(int bap) {
  static const int levels[6] = {0, 3, 5, 7, 11, 15};
  return bap >= 1 && bap <= 5 ? levels[bap] : 0;
}

unsigned crc16(unsigned c, const uint8_t* data, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) {
    c ^= (unsigned)data[i] << 8;
    for (int k = 0; k < 8; ++k) c = (c & 0x8000) ? ((c << 1) ^ 0x8005) & 0xFFFF : (c << 1) & 0xFFFF;
  }
  return c;
}

void bitAllocation(int start, int end, const int* exps, int fscod, int rateShift, int sdcycod, int fdcycod,
                   int sgaincod, int dbpbcod, int floorcod, int fgaincod, int snroffset, int fleak, int sleak,
                   const int* deltas, int* bap) {
  int sdecay = kSlowDec[sdcycod] >> rateShift;
  int fdecay = kFastDec[fdcycod] >> rateShift;
  int sgain = kSlowGain[sgaincod];
  int dbknee = kDbPerBit[dbpbcod];
  int floor = kFloor[floorcod];
  int fgain = kFastGain[fgaincod];
  int psd[256], bndpsd[50], excite[50], mask[50];
  for (int bin = start; bin < end; ++bin) psd[bin] = 3072 - (exps[bin] << 7);
  // Integration of the power spectral density over the bands.
  int j = start, k = maskBand(start), lastbin;
  do {
    lastbin = imin(bandStart(k + 1), end);
    bndpsd[k] = psd[j];
    ++j;
    for (int i = j; i < lastbin; ++i) {
      bndpsd[k] = logAdd(bndpsd[k], psd[j]);
      ++j;
    }
    ++k;
  } while (end > lastbin);
  // Excitation.
  int bndstrt = maskBand(start);
  int bndend = maskBand(end - 1) + 1;
  int begin, fastleak = 0, slowleak = 0;
  if (bndstrt == 0) {
    int lowcomp = 0;
    lowcomp = lowComp(lowcomp, bndpsd[0], bndpsd[1], 0);
    excite[0] = bndpsd[0] - fgain - lowcomp;
    lowcomp = lowComp(lowcomp, bndpsd[1], bndpsd[2], 1);
    excite[1] = bndpsd[1] - fgain - lowcomp;
    begin = 7;
    for (int bin = 2; bin < 7; ++bin) {
      if (bndend != 7 || bin != 6) lowcomp = lowComp(lowcomp, bndpsd[bin], bndpsd[bin + 1], bin);
      fastleak = bndpsd[bin] - fgain;
      slowleak = bndpsd[bin] - sgain;
      excite[bin] = fastleak - lowcomp;
      if (bndend != 7 || bin != 6) {
        if (bndpsd[bin] <= bndpsd[bin + 1]) {
          begin = bin + 1;
          break;
        }
      }
    }
    for (int bin = begin; bin < imin(bndend, 22); ++bin) {
      if (bndend != 7 || bin != 6) lowcomp = lowComp(lowcomp, bndpsd[bin], bndpsd[bin + 1], bin);
      fastleak -= fdecay;
      fastleak = imax(fastleak, bndpsd[bin] - fgain);
      slowleak -= sdecay;
      slowleak = imax(slowleak, bndpsd[bin] - sgain);
      excite[bin] = imax(fastleak - lowcomp, slowleak);
    }
    begin = 22;
  } else {
    begin = bndstrt;
    fastleak = fleak;
    slowleak = sleak;
  }
  for (int bin = begin; bin < bndend; ++bin) {
    fastleak -= fdecay;
    fastleak = imax(fastleak, bndpsd[bin] - fgain);
    slowleak -= sdecay;
    slowleak = imax(slowleak, bndpsd[bin] - sgain);
    excite[bin] = imax(fastleak, slowleak);
  }
  // Masking curve.
  for (int bin = bndstrt; bin < bndend; ++bin) {
    if (bndpsd[bin] < dbknee) excite[bin] += (dbknee - bndpsd[bin]) >> 2;
    mask[bin] = imax(excite[bin], kHth[fscod][bin >> rateShift]);
  }
  if (deltas)
    for (int bin = bndstrt; bin < bndend; ++bin) mask[bin] += deltas[bin];
  // Bit allocation pointers.
  int i = start;
  j = maskBand(start);
  do {
    lastbin = imin(bandStart(j + 1), end);
    int m = mask[j] - snroffset - floor;
    if (m < 0) m = 0;
    m &= 0x1fe0;
    m += floor;
    for (; i < lastbin; ++i) {
      int address = (psd[i] - m) >> 5;
      bap[i] = kBapTab[imin(63, imax(0, address))];
    }
    ++j;
  } while (end > lastbin);
}

int parseFrame(const uint8_t* data, size_t bytes, Frame* frame) {
  static Walker w;  // large; one at a time
  memset(&w, 0, sizeof(w));
  memset(frame, 0, sizeof(*frame));
  w.io.data = const_cast<uint8_t*>(data);
  w.io.limitBits = bytes * 8;
  w.frame = frame;
  w.run();
  if (w.outOfRange || w.io.overrun) return 0;
  int words = frameWords(frame->bsi.fscod, frame->bsi.frmsizecod);
  if ((size_t)words * 2 != bytes) return 0;
  return frame->endBit + 18 <= bytes * 8 ? 1 : 0;
}

size_t contentBits(Frame* frame) {
  static Walker w;
  memset(&w, 0, sizeof(w));
  w.io.writing = true;
  w.io.limitBits = (size_t)-1;
  w.frame = frame;
  w.collecting = true;
  w.run();
  return w.io.pos + 18;
}

size_t writeFrame(Frame* frame, uint8_t* out, size_t cap) {
  static Walker w;
  memset(&w, 0, sizeof(w));
  size_t bytes = (size_t)frameWords(frame->bsi.fscod, frame->bsi.frmsizecod) * 2;
  if (bytes == 0 || bytes > cap) return 0;
  // First pass: collect the grouped mantissa codes in stream order.
  w.io.writing = true;
  w.io.limitBits = bytes * 8;
  w.frame = frame;
  w.collecting = true;
  w.run();
  if (w.io.pos + 18 > bytes * 8) return 0;
  // Second pass: write.
  memset(out, 0, bytes);
  w.collecting = false;
  w.io.data = out;
  w.io.pos = 0;
  w.io.overrun = false;
  w.run();
  if (w.io.overrun) return 0;
  setCrcs(out, bytes);
  return bytes;
}

void setCrcs(uint8_t* data, size_t bytes) {
  size_t words = bytes / 2;
  size_t last58 = (words >> 1) + (words >> 3) - 1;
  crcSection(data, 1, last58, 1);
  // crc2 is the frame's last word and ends its section: plain remainder of the rest.
  data[bytes - 2] = 0;
  data[bytes - 1] = 0;
  unsigned c = crc16(0, data + 2 * (last58 + 1), 2 * (words - 1 - (last58 + 1)));
  data[bytes - 2] = (uint8_t)(c >> 8);
  data[bytes - 1] = (uint8_t)(c & 0xFF);
}

int checkCrcs(const uint8_t* data, size_t bytes) {
  size_t words = bytes / 2;
  size_t last58 = (words >> 1) + (words >> 3) - 1;
  return crc16(0, data + 2, 2 * last58) == 0 && crc16(0, data + 2 * (last58 + 1), 2 * (words - last58 - 1)) == 0;
}

}  // namespace peer
