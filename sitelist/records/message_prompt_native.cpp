// Native builds have no display: a record message is written to standard error
// and answered with its default button.
#include "sitelist/records/record_messages.h"

#include <stdio.h>

int ShowRecordMessage(const RecordMessage* m) { return ShowRecordMessageOver(nullptr, m); }

int ShowRecordMessageOver(void*, const RecordMessage* m) {
  if (!m) return RA_CANCEL;
  fprintf(stderr, "[%s] %s\n", m->title, m->text);
  return m->default_answer;
}
