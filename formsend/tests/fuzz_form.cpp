// formsend fuzz target: the form decoder and the control-field mapping over any body,
// then one template piece substituted with the decoded fields, quoted-printable and
// in its 8-bit wire form.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "formsend/compose.h"
#include "formsend/form.h"

static FormTable g_table;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  char length[32];
  snprintf(length, sizeof(length), "%zu", size);
  readFormFromBytes(data, size, length, &g_table);
  FormSettings settings;
  MailJob job;
  clearRecords(&settings, &job);
  char refusal[kRefusalSize];
  mapControlFields(&g_table, &settings, &job, refusal);
  char line[kTemplatePieceChars + 1];
  size_t n = size < sizeof(line) - 1 ? size : sizeof(line) - 1;
  memcpy(line, data, n);
  line[n] = '\0';
  settings.optionalGiven = 1;
  Text piece, header, encoded;
  textInit(&piece);
  substitutePiece(line, &g_table, &settings, &piece);
  textInit(&header);
  if (!piece.failed && composeHeader(&header, &job, 1)) {
    textAppendString(&header, piece.data);
    encodeQuotedPrintable(&header, &encoded);
    textFree(&encoded);
    // The 8-bit wire form of the same text: every CR in it is half of a CR LF, and
    // no line is longer than the longest line reported.
    size_t longest = longestCrlfLine(&header);
    char wire[7];
    size_t pos = 0, line = 0, got;
    while ((got = crlfPiece(&header, &pos, wire, sizeof(wire))) > 0) {
      for (size_t k = 0; k < got; ++k) {
        if (wire[k] == '\r') {
          if (k + 1 == got || wire[k + 1] != '\n') __builtin_trap();
        } else if (wire[k] == '\n') {
          line = 0;
        } else if (++line > longest) {
          __builtin_trap();
        }
      }
    }
  }
  textFree(&header);
  textFree(&piece);
  freeForm(&g_table);
  return 0;
}
