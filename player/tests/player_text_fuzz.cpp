// Fuzz target of the texts the player takes from outside: a forwarded command line
// (another process), a typed location, a translated caption format and file filter.
// Every call must stay inside its buffers and keep them zero-ended.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "player/player_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::vector<char> text(data, data + size);
  text.push_back('\0');
  const char *t = text.data();
  char out[kForwardTextMax + 1];
  commandLineText(t, out, sizeof out);
  forwardWay(out);
  forwardedKind(out);
  char small[16];
  commandLineText(t, small, sizeof small);
  locationToPlay(t, out, sizeof out);
  locationToPlay(t, small, sizeof small);
  lastFileOf(t, small, sizeof small);
  char caption[81];
  formatCaption(t, "clip title", caption, sizeof caption);
  formatCaption("Tessavox Player Plus: %s", t, caption, sizeof caption);
  char filter[300];
  openFileFilter(t, filter, sizeof filter);
  char dir[261], name[261];
  splitAtLastBackslash(t, dir, sizeof dir, name, sizeof name);
  int v;
  preferenceNumber(t, &v);
  return 0;
}
