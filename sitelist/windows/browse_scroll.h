// The vertical thumb of the site browse, proportional to the key rather than
// to a count of records: 100 sample values of the order's leading field spread
// evenly between the first and the last site of the order (within its limit),
// the thumb position of the highlighted site, and the value a dragged thumb
// position stands for. Text samples are spread over the characters that follow
// the part the first and last values share; the rating over its numbers.
// Values compare as the order's key compares them (case-insensitive).
#pragma once

#include "sitelist/records/record_files.h"

enum { kScrollSamples = 100, kScrollFirst = 1, kScrollLast = kScrollSamples };

struct ScrollSamples {
  int tab;      // BrowseTab the samples belong to
  int count;    // kScrollSamples, or 0 (the "Keyword" tab, an empty order)
  int numeric;  // 1: rating samples
  int32_t rating[kScrollSamples];
  char text[kScrollSamples][256];  // zero-terminated leading-field values
};

// Derives the samples of tab's order from its first and last site (both NULL
// for an empty order).
void BuildScrollSamples(int tab, const SiteRecord* first, const SiteRecord* last, ScrollSamples* out);

// The thumb position (1..100) of the highlighted site: the first sample that is
// not before the site's value in the order. Without samples: 1, or 100 when
// `is_last` says the site is the order's last.
int ThumbPosition(const ScrollSamples* s, const SiteRecord* highlighted, int is_last);

// What a thumb dragged to `position` shows.
enum ThumbTarget { kThumbNone = 0, kThumbFirst, kThumbLast, kThumbValue };
// For kThumbValue, `value` is cleared and its leading field set to the sample.
int ThumbDragTarget(const ScrollSamples* s, int position, SiteRecord* value);

// Key-order comparison of two leading-field texts (case-insensitive, trailing
// spaces ignored): <0, 0, >0.
int CompareKeyText(const char* a, const char* b);
