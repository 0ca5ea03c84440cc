// Scroll samples and thumb positions of the site browse.
#include "sitelist/windows/browse_scroll.h"

#include "sitelist/records/store_internal.h"
#include "sitelist/windows/browse_page.h"

#include <stdio.h>
#include <string.h>

namespace {

// Characters spread over after the shared part, as digits of a small alphabet
// that keeps the key's order: space, punctuation, the ten digits, more
// punctuation, the 26 letters, everything above. Ten digits of base 40 keep
// (last - first) * 99 inside 64 bits.
const int kDigits = 10;
const uint64_t kBase = 40;
const size_t kTextCap = sizeof(ScrollSamples::text[0]);

// The leading field of an order, as a zero-terminated text (without trailing
// spaces); 0 for orders whose leading field is not a text.
int LeadingText(int tab, const SiteRecord* s, char* out, size_t cap) {
  switch (tab) {
    case kTabDescription:
    case kTabCategory: GetField(s->Description, sizeof s->Description, out, cap); return 1;
    case kTabLocation: GetField(s->Location, sizeof s->Location, out, cap); return 1;
    default: return 0;
  }
}

uint8_t Lower(char c) { return kAnsiLower[(uint8_t)c]; }

// The character at i of a text padded with spaces, lower-cased as the key has it.
uint8_t At(const char* s, size_t n, size_t i) { return i < n ? Lower(s[i]) : (uint8_t)' '; }

// A character's digit: never decreasing as the character rises.
unsigned Rank(uint8_t c) {
  if (c <= 0x20) return 0;
  if (c < '0') return 1;
  if (c <= '9') return 2 + (unsigned)(c - '0');
  if (c < 'a') return 12;
  if (c <= 'z') return 13 + (unsigned)(c - 'a');
  return 39;
}

// The lowest character of a digit, so that a sample is the lower bound of
// everything that has that digit.
char OfRank(unsigned r) {
  if (r == 0) return ' ';
  if (r == 1) return '!';
  if (r <= 11) return (char)('0' + (r - 2));
  if (r == 12) return ':';
  if (r <= 38) return (char)('a' + (r - 13));
  return '{';
}

uint64_t DigitsOf(const char* s, size_t n, size_t from) {
  uint64_t v = 0;
  for (int i = 0; i < kDigits; i++) v = v * kBase + Rank(At(s, n, from + (size_t)i));
  return v;
}

void SpreadText(const char* first, const char* last, ScrollSamples* out) {
  size_t nf = strlen(first), nl = strlen(last);
  size_t shared = 0;
  size_t longest = nf > nl ? nf : nl;
  while (shared < longest && At(first, nf, shared) == At(last, nl, shared)) shared++;
  if (shared > kTextCap - 1 - kDigits) shared = kTextCap - 1 - kDigits;
  uint64_t lo = DigitsOf(first, nf, shared), hi = DigitsOf(last, nl, shared);
  if (hi < lo) hi = lo;
  for (int i = 0; i < kScrollSamples; i++) {
    char* t = out->text[i];
    memcpy(t, first, shared < nf ? shared : nf);
    for (size_t k = nf; k < shared; k++) t[k] = ' ';
    uint64_t v = lo + (hi - lo) * (uint64_t)i / (uint64_t)(kScrollSamples - 1);
    char digits[kDigits];
    for (int d = kDigits - 1; d >= 0; d--) {
      digits[d] = OfRank((unsigned)(v % kBase));
      v /= kBase;
    }
    memcpy(t + shared, digits, kDigits);
    size_t n = shared + kDigits;
    while (n > 0 && t[n - 1] == ' ') n--;
    t[n] = '\0';
  }
  // The ends are the first and last values themselves, and no sample falls
  // before the one above it.
  snprintf(out->text[0], kTextCap, "%s", first);
  snprintf(out->text[kScrollSamples - 1], kTextCap, "%s", last);
  for (int i = 1; i < kScrollSamples; i++)
    if (CompareKeyText(out->text[i], out->text[i - 1]) < 0) memcpy(out->text[i], out->text[i - 1], kTextCap);
}

}  // namespace

int CompareKeyText(const char* a, const char* b) {
  size_t na = strlen(a), nb = strlen(b);
  size_t n = na > nb ? na : nb;
  for (size_t i = 0; i < n; i++) {
    uint8_t x = At(a, na, i), y = At(b, nb, i);
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

void BuildScrollSamples(int tab, const SiteRecord* first, const SiteRecord* last, ScrollSamples* out) {
  out->tab = tab;
  out->count = 0;
  out->numeric = tab == kTabRating;
  if (first == nullptr || last == nullptr || tab == kTabKeyword || tab < 0 || tab >= kTabCount) return;
  if (out->numeric) {
    // The rating orders from high to low: the first site has the highest.
    int32_t hi = first->Rating, lo = last->Rating;
    if (lo > hi) lo = hi;
    for (int i = 0; i < kScrollSamples; i++)
      out->rating[i] = hi - (int32_t)((int64_t)(hi - lo) * i / (kScrollSamples - 1));
  } else {
    char a[kTextCap], b[kTextCap];
    LeadingText(tab, first, a, sizeof a);
    LeadingText(tab, last, b, sizeof b);
    if (CompareKeyText(b, a) < 0) snprintf(b, sizeof b, "%s", a);
    SpreadText(a, b, out);
  }
  out->count = kScrollSamples;
}

int ThumbPosition(const ScrollSamples* s, const SiteRecord* highlighted, int is_last) {
  if (highlighted == nullptr) return kScrollFirst;
  if (s->count == 0) return is_last ? kScrollLast : kScrollFirst;
  if (s->numeric) {
    for (int i = 0; i < s->count; i++)
      if (s->rating[i] <= highlighted->Rating) return i + 1;
    return kScrollLast;
  }
  char v[kTextCap];
  LeadingText(s->tab, highlighted, v, sizeof v);
  for (int i = 0; i < s->count; i++)
    if (CompareKeyText(s->text[i], v) >= 0) return i + 1;
  return kScrollLast;
}

int ThumbDragTarget(const ScrollSamples* s, int position, SiteRecord* value) {
  if (position <= kScrollFirst) return kThumbFirst;
  if (position >= kScrollLast) return kThumbLast;
  if (s->count == 0) return kThumbNone;
  ks_clear(&TABLNK_Decl, value);
  const int i = position - 1;
  if (s->numeric) {
    value->Rating = s->rating[i];
  } else if (s->tab == kTabLocation) {
    SetField(value->Location, sizeof value->Location, s->text[i]);
  } else {
    SetField(value->Description, sizeof value->Description, s->text[i]);
  }
  return kThumbValue;
}
