// frame_builder: random valid A/52 frames for chosen side information (see frame_builder.h).
#include "decoder/tests/frame_builder.h"

#include <stdio.h>
#include <string.h>

#include "decoder/tests/peer_a52.h"

namespace {

using peer::Block;
using peer::CPL;
using peer::Frame;
using peer::LFE;

struct Rng {
  uint32_t s;
  uint32_t next() {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
  }
  int range(int lo, int hi) { return lo + (int)(next() % (uint32_t)(hi - lo + 1)); }  // inclusive
  bool chance(int percent) { return (int)(next() % 100) < percent; }
};

// Exponent group codes of channel ch as a random walk from `first` that stays inside [lo, hi].
void randomExponents(Rng& r, Block& b, int ch, int first, int ngrps, int lo, int hi) {
  int e = first;
  for (int g = 0; g < ngrps; ++g) {
    int d[3];
    for (int k = 0; k < 3; ++k) {
      int dmin = lo - e + 2, dmax = hi - e + 2;
      if (dmin < 0) dmin = 0;
      if (dmax > 4) dmax = 4;
      if (dmin > dmax) dmin = dmax;
      d[k] = r.range(dmin, dmax);
      e += d[k] - 2;
    }
    b.expgrp[ch][g] = 25 * d[0] + 5 * d[1] + d[2];
  }
}

void fillMantissas(Rng& r, Block& b) {
  for (int ch = 0; ch < peer::NCH; ++ch)
    for (int bin = 0; bin < 256; ++bin) {
      int bap = b.bap[ch][bin];
      int levels = peer::mantissaLevels(bap);
      if (levels) b.mant[ch][bin] = r.range(0, levels - 1);
      else if (bap >= 6) b.mant[ch][bin] = (int)(r.next() & ((1u << peer::mantissaBits(bap)) - 1));
      else b.mant[ch][bin] = 0;
    }
}

void chooseBlock(const BuildSpec& s, Rng& r, Frame& f, int k) {
  Block& b = f.blk[k];
  const Block* p = k > 0 ? &f.blk[k - 1] : nullptr;
  memset(&b, 0, sizeof(b));
  int nf = peer::nfchans(s.acmod);
  bool fresh = k == 0 || !s.reuse || r.chance(40);
  for (int ch = 0; ch < nf; ++ch) {
    b.blksw[ch] = s.shortBlocks == 2 ? 1 : s.shortBlocks == 1 ? r.chance(50) : 0;
    b.dithflag[ch] = 0;  // dither differs between decoders: the comparisons keep it off
  }
  if (s.dynrng) {
    b.dynrnge = k == 0 || r.chance(50);
    b.dynrng = r.range(128, 255);  // cuts: the decoder applies them when a downmix may overload
    b.dynrng2e = s.acmod == 0 && (k == 0 || r.chance(50));
    b.dynrng2 = r.range(128, 255);
  }
  // Coupling strategy.
  b.cplstre = k == 0 || (fresh && r.chance(50));
  if (b.cplstre) {
    b.cplinu = s.coupling && s.acmod >= 2;
    if (b.cplinu) {
      int coupled = 0;
      for (int ch = 0; ch < nf; ++ch) {
        b.chincpl[ch] = r.chance(80);
        coupled += b.chincpl[ch];
      }
      if (coupled == 0 || s.acmod == 2) b.chincpl[0] = b.chincpl[1] = 1;
      b.phsflginu = s.acmod == 2 && s.phaseFlags;
      b.cplbegf = r.range(0, 6);
      b.cplendf = r.range(b.cplbegf > 2 ? b.cplbegf - 2 : 0, 15);
      int nsub = 3 + b.cplendf - b.cplbegf;
      for (int sb = 1; sb < nsub; ++sb) b.cplbndstrc[sb] = r.chance(40);
    }
  } else {
    b.cplinu = p->cplinu;
    memcpy(b.chincpl, p->chincpl, sizeof(b.chincpl));
    b.phsflginu = p->phsflginu;
    b.cplbegf = p->cplbegf;
    b.cplendf = p->cplendf;
    memcpy(b.cplbndstrc, p->cplbndstrc, sizeof(b.cplbndstrc));
  }
  bool cplChanged = k == 0 || b.cplstre;
  if (b.cplinu) {
    for (int ch = 0; ch < nf; ++ch) {
      if (!b.chincpl[ch]) continue;
      // New coordinates are required when the coupling layout is new.
      b.cplcoe[ch] = cplChanged || (p && !p->chincpl[ch]) || r.chance(50);
      b.mstrcplco[ch] = r.range(0, 1);
      for (int bnd = 0; bnd < 18; ++bnd) {
        b.cplcoexp[ch][bnd] = r.range(0, 3);
        b.cplcomant[ch][bnd] = r.range(0, 15);
      }
    }
    for (int bnd = 0; bnd < 18; ++bnd) b.phsflg[bnd] = r.chance(50);
  }
  if (s.acmod == 2) {
    b.rematstr = k == 0 || r.chance(50);
    for (int i = 0; i < 4; ++i) b.rematflg[i] = s.rematrix ? r.chance(50) : 0;
  }
  // Exponent strategies: new at block 0 and whenever the coupling layout changed.
  int cplstrt = 12 * b.cplbegf + 37;
  int cplend = 12 * (b.cplendf + 3) + 37;
  for (int ch = 0; ch < nf; ++ch) {
    bool must = k == 0 || cplChanged || (p && p->chincpl[ch] != b.chincpl[ch]);
    b.expstr[ch] = must || !s.reuse || r.chance(50) ? r.range(1, 3) : 0;
    b.chbwcod[ch] = r.range(0, 60);
    if (b.expstr[ch] == 0) {
      b.strtmant[ch] = p->strtmant[ch];
      b.endmant[ch] = p->endmant[ch];
      memcpy(b.exps[ch], p->exps[ch], sizeof(b.exps[ch]));
      continue;
    }
    b.strtmant[ch] = 0;
    b.endmant[ch] = b.cplinu && b.chincpl[ch] ? cplstrt : 3 * b.chbwcod[ch] + 73;
    int g = 1 << (b.expstr[ch] - 1);
    b.absexp[ch] = r.range(s.expLow, s.expHigh > 15 ? 15 : s.expHigh);
    randomExponents(r, b, ch, b.absexp[ch], (b.endmant[ch] - 1 + 3 * g - 1) / (3 * g), s.expLow, s.expHigh);
    b.gainrng[ch] = r.range(0, 3);
  }
  if (b.cplinu) {
    b.expstr[CPL] = cplChanged || !s.reuse || r.chance(50) ? r.range(1, 3) : 0;
    if (b.expstr[CPL]) {
      int g = 1 << (b.expstr[CPL] - 1);
      b.absexp[CPL] = r.range((s.expLow + 1) / 2, s.expHigh / 2 > 15 ? 15 : s.expHigh / 2);
      randomExponents(r, b, CPL, b.absexp[CPL] << 1, (cplend - cplstrt) / (3 * g), s.expLow, s.expHigh);
    }
  }
  if (s.lfeon) {
    b.expstr[LFE] = k == 0 || !s.reuse || r.chance(50);
    if (b.expstr[LFE]) {
      b.absexp[LFE] = r.range(s.expLow, s.expHigh > 15 ? 15 : s.expHigh);
      randomExponents(r, b, LFE, b.absexp[LFE], 2, s.expLow, s.expHigh);
    }
  }
  b.baie = fresh;
  b.sdcycod = r.range(0, 3);
  b.fdcycod = r.range(0, 3);
  b.sgaincod = r.range(0, 3);
  b.dbpbcod = r.range(0, 3);
  b.floorcod = r.range(0, 6);
  b.snroffste = fresh;
  b.csnroffst = r.range(9, 17);
  for (int ch = 0; ch < peer::NCH; ++ch) {
    b.fsnroffst[ch] = r.range(0, 15);
    b.fgaincod[ch] = r.range(0, 7);
  }
  b.cplleake = b.cplinu && (fresh || cplChanged);
  b.cplfleak = r.range(0, 7);
  b.cplsleak = r.range(0, 7);
  if (s.deltaAlloc) {
    b.deltbaie = k == 0 || r.chance(50);
    // One strategy for all channels of a block: the peer decoder loses its place in
    // blocks that mix reuse (0) with new segments across channels.
    int strategy = r.range(k == 0 ? 1 : 0, 2);
    for (int ch = 0; ch < peer::NCH; ++ch) {
      b.deltbae[ch] = strategy;
      b.deltnseg[ch] = r.range(1, 4);
      int band = 0;
      for (int sg = 0; sg < b.deltnseg[ch]; ++sg) {
        b.deltoffst[ch][sg] = r.range(0, 8);
        b.deltlen[ch][sg] = r.range(1, 6);
        b.deltba[ch][sg] = r.range(0, 7);
        band += b.deltoffst[ch][sg] + b.deltlen[ch][sg];
        if (band > 50) {  // keep every segment inside the 50 bands
          b.deltnseg[ch] = sg;
          break;
        }
      }
      if (b.deltnseg[ch] == 0) b.deltbae[ch] = 2;
    }
  }
  if (s.skipFields) {
    b.skiple = r.chance(60);
    b.skipl = r.chance(20) ? 511 : r.range(0, 40);
    for (int i = 0; i < b.skipl; ++i) b.skipbyte[i] = r.range(0, 255);
  }
}

void chooseHeader(const BuildSpec& s, Rng& r, Frame& f) {
  peer::Bsi& h = f.bsi;
  memset(&h, 0, sizeof(h));
  h.fscod = s.fscod;
  h.bsid = s.bsid;
  h.bsmod = r.range(0, 6);
  h.acmod = s.acmod;
  // Mix levels stay the same through a stream (a decoder mixes each frame by its own).
  h.cmixlev = (int)(s.seed % 3);
  h.surmixlev = (int)((s.seed / 3) % 3);
  h.dsurmod = r.range(0, 2);
  h.lfeon = s.lfeon;
  h.dialnorm = 31;  // no dialogue normalisation, as the peer decoder applies none
  h.dialnorm2 = 31;
  h.compre = s.compr;
  h.compr = r.range(0, 255);
  h.compr2e = s.compr && s.acmod == 0;
  h.compr2 = r.range(0, 255);
  h.langcode = r.chance(50);
  h.langcod = r.range(0, 255);
  h.audprodie = r.chance(50);
  h.mixlevel = r.range(0, 31);
  h.roomtyp = r.range(0, 2);
  h.langcod2e = r.chance(50);
  h.langcod2 = r.range(0, 255);
  h.audprodi2e = r.chance(50);
  h.mixlevel2 = r.range(0, 31);
  h.roomtyp2 = r.range(0, 2);
  h.copyrightb = r.chance(50);
  h.origbs = r.chance(50);
  h.timecod1e = r.chance(50);
  h.timecod1 = r.range(0, 16383);
  h.timecod2e = r.chance(50);
  h.timecod2 = r.range(0, 16383);
  h.addbsie = s.addbsi;
  h.addbsil = r.chance(30) ? 63 : r.range(0, 20);
  for (int i = 0; i < 64; ++i) h.addbsi[i] = r.range(0, 255);
}

}  // namespace

// Every scenario builds frames that the comparison decodes with both decoders.
const BuildSpec kBuildScenarios[] = {
    // name                fs bsid ac lfe short cpl phs remat delta skip dyn compr addbsi reuse lo hi seed
    {"short_blocks_20", 0, 8, 2, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 1, 7, 16, 11},
    {"short_mixed_32", 0, 8, 7, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 9, 19, 12},
    {"dual_mono_10", 1, 8, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 7, 16, 13},
    {"dual_mono_extras", 0, 8, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 1, 1, 7, 16, 14},
    {"bsid9_20", 0, 9, 2, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 7, 16, 15},
    {"bsid10_20", 1, 10, 2, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 7, 16, 16},
    {"bsid10_32_lfe", 2, 10, 7, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 9, 19, 17},
    {"delta_alloc_30", 0, 8, 3, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 9, 19, 18},
    {"delta_cpl_32", 0, 8, 7, 1, 0, 1, 0, 0, 1, 0, 0, 0, 0, 1, 9, 19, 19},
    {"skip_fields_20", 1, 8, 2, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 1, 7, 16, 20},
    {"dynrng_compr_20", 0, 8, 2, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 1, 7, 16, 21},
    {"phase_flags_20", 0, 8, 2, 0, 0, 1, 1, 1, 0, 0, 0, 0, 0, 1, 7, 16, 22},
    {"rematrix_20", 2, 8, 2, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 7, 16, 23},
    {"addbsi_21", 0, 6, 4, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 1, 9, 19, 24},
    {"coupling_22", 1, 8, 6, 1, 1, 1, 0, 0, 0, 1, 0, 0, 0, 1, 9, 19, 25},
    {"everything_32k", 2, 8, 5, 1, 1, 1, 0, 0, 0, 1, 1, 1, 1, 1, 8, 18, 26},
    {nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
};

const BuildSpec* findScenario(const char* name) {
  for (const BuildSpec* s = kBuildScenarios; s->name; ++s)
    if (strcmp(s->name, name) == 0) return s;
  return nullptr;
}

size_t buildStream(const BuildSpec& plan, int frames, uint8_t* out, size_t cap) {
  static Frame f;
  Rng r{plan.seed * 2654435761u + 1};
  size_t used = 0;
  for (int n = 0; n < frames; ++n) {
    chooseHeader(plan, r, f);
    for (int k = 0; k < 6; ++k) chooseBlock(plan, r, f, k);
    // The walk computes the bit allocation; mantissas are then drawn for the baps found,
    // block by block (a block's allocation does not depend on mantissas).
    f.bsi.frmsizecod = 37;
    peer::contentBits(&f);
    for (int k = 0; k < 6; ++k) fillMantissas(r, f.blk[k]);
    size_t need = peer::contentBits(&f);
    int code = 0;
    while (code < 38 && (size_t)peer::frameWords(plan.fscod, code) * 16 < need) ++code;
    if (code == 38) {
      fprintf(stderr, "frame_builder: %s needs %lu bits\n", plan.name, (unsigned long)need);
      return 0;
    }
    f.bsi.frmsizecod = code;
    size_t bytes = peer::writeFrame(&f, out + used, cap - used);
    if (bytes == 0) return 0;
    used += bytes;
  }
  return used;
}
