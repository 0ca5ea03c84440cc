// peer_a52: an independent, slow model of the A/52 frame syntax for the decoder's tests.
//
// One walk over the syncinfo, bsi and audblk syntax serves both directions: reading a
// frame into the records below (to find the dither flags of an encoder's stream, for
// instance) and writing a frame from chosen records (the frame builder). The walk runs the
// parametric bit allocation of A/52 section 7.2 directly, bin by bin, to know how many
// bits every mantissa takes. Frames are handled in A/52 byte order (0x0B 0x77 first).
// Nothing here is shared with the decoder core.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace peer {

enum { CPL = 5, LFE = 6, NCH = 7, MAX_FRAME_BYTES = 3840, MAX_SEGS = 8 };

// Frame header (syncinfo and bsi), A/52 names.
struct Bsi {
  int crc1, fscod, frmsizecod, bsid, bsmod, acmod, cmixlev, surmixlev, dsurmod, lfeon;
  int dialnorm, compre, compr, langcode, langcod, audprodie, mixlevel, roomtyp;
  int dialnorm2, compr2e, compr2, langcod2e, langcod2, audprodi2e, mixlevel2, roomtyp2;
  int copyrightb, origbs, timecod1e, timecod1, timecod2e, timecod2, addbsie, addbsil;
  int addbsi[64];
};

// Side information and mantissas of one audio block. Channel arrays are indexed by
// full-bandwidth channel 0..4, CPL (coupling channel) and LFE. Fields absent from a
// block keep their values from the previous block (the walk never clears them), as a
// decoder keeps them.
struct Block {
  int blksw[5], dithflag[5];
  int dynrnge, dynrng, dynrng2e, dynrng2;
  int cplstre, cplinu, chincpl[5], phsflginu, cplbegf, cplendf, cplbndstrc[18];
  int cplcoe[5], mstrcplco[5], cplcoexp[5][18], cplcomant[5][18], phsflg[18];
  int rematstr, rematflg[4];
  int expstr[NCH];  // chexpstr[0..4], cplexpstr, lfeexpstr
  int chbwcod[5];
  int absexp[NCH];      // exps[ch][0], cplabsexp, lfeexps[0]
  int expgrp[NCH][84];  // 7-bit exponent group codes
  int gainrng[5];
  int baie, sdcycod, fdcycod, sgaincod, dbpbcod, floorcod;
  int snroffste, csnroffst, fsnroffst[NCH], fgaincod[NCH];
  int cplleake, cplfleak, cplsleak;
  int deltbaie, deltbae[NCH];
  int deltnseg[NCH], deltoffst[NCH][MAX_SEGS], deltlen[NCH][MAX_SEGS], deltba[NCH][MAX_SEGS];
  int skiple, skipl, skipbyte[512];
  int mant[NCH][256];  // mantissa codes: level index for bap 1..5, raw bits for bap 6..15
  // Derived by the walk:
  int exps[NCH][256];  // decoded exponents
  int bap[NCH][256];
  int strtmant[NCH], endmant[NCH];
  size_t dithflagBit[5];  // bit offset of each dithflag in the frame
  size_t startBit;        // bit offset of the block's first field
};

struct Frame {
  Bsi bsi;
  Block blk[6];   // blk[k] holds the state after block k (absent fields carried)
  size_t endBit;  // bit offset after the last mantissa of block 5
};

// Number of full-bandwidth channels of an acmod (A/52 Table 5.8).
int nfchans(int acmod);

// Frame size in 16-bit words (A/52 Table 5.18); 0 for codes outside the table.
int frameWords(int fscod, int frmsizecod);

// Bits of one mantissa (bap 3, 5..15) or of one group (bap 1: 5, 2: 7, 4: 7).
int mantissaBits(int bap);

// Number of levels of the quantiser of bap 1..5 (3, 5, 7, 11, 15); 0 otherwise.
int mantissaLevels(int bap);

// The A/52 frame check: c is the running value (start with 0), data big-endian words.
unsigned crc16(unsigned c, const uint8_t* data, size_t bytes);

// Reads a frame of `bytes` bytes (A/52 byte order). Returns 1 when the whole syntax was
// read inside the frame, 0 when a field lies past the frame's end or a value is out of
// range (the records then hold what was read so far).
int parseFrame(const uint8_t* data, size_t bytes, Frame* frame);

// Writes the frame described by `frame` (bsi and the six blocks' fields that the syntax
// asks for; mantissa codes for the bins that get bits) into out, padded with zeros to the
// frame size of bsi.fscod/frmsizecod, with crc1 and crc2 set. Fills the derived fields.
// Returns the frame's length in bytes, 0 when the content does not fit the frame size.
size_t writeFrame(Frame* frame, uint8_t* out, size_t cap);

// Bits the frame's content needs without padding (runs the walk; fills derived fields).
size_t contentBits(Frame* frame);

// Recomputes crc1 (first 5/8 of the frame) and crc2 (the rest) of a frame in A/52 byte
// order so that each section checks to zero.
void setCrcs(uint8_t* data, size_t bytes);

// The crc1 and crc2 checks: 1 when both sections check to zero.
int checkCrcs(const uint8_t* data, size_t bytes);

// The A/52 bit allocation (section 7.2.2) over bins start..end-1, written from the
// standard's pseudo code. exps: exponent per bin; deltas: 50 masking deltas in the
// standard's 128ths of 6 dB or null; fleak/sleak used when start > 0 (coupling).
// rateShift 1 or 2 for the reduced-rate streams (bsid 9, 10).
void bitAllocation(int start, int end, const int* exps, int fscod, int rateShift, int sdcycod, int fdcycod,
                   int sgaincod, int dbpbcod, int floorcod, int fgaincod, int snroffset, int fleak, int sleak,
                   const int* deltas, int* bap);

}  // namespace peer
