// formsend: composing the message texts: the short header (From, To, Cc, Subject),
// the template with the form's values put in, and quoted-printable encoding.
// Portable: no Windows header.
#ifndef FORMSEND_COMPOSE_H
#define FORMSEND_COMPOSE_H

#include "formsend/form.h"

enum {
  kTemplatePieceChars = 994,  // a piece read from the template, line end included
  // A piece after substitution grows up to this many characters: any one value (no
  // longer than the form body it came in) goes in whole; the bound keeps values that
  // bring in the names of later fields from growing a piece without end.
  kPieceLimit = kMaxBodyBytes,
  kQpBreakColumn = 72,
  kQpLineCapacity = 79,
};

// A heap text that grows as it is appended to. `data` is always zero-ended once
// the text has been started; `failed` is set when memory could not be had, after
// which appends do nothing.
struct Text {
  char *data;
  size_t length;
  size_t capacity;
  int failed;
};

void textInit(Text *t);
void textFree(Text *t);
void textAppend(Text *t, const char *s, size_t n);
void textAppendString(Text *t, const char *s);

// Replaces the contents of `t` with the header of the message; encoded selects the
// encoded words of the quoted-printable text. Returns 1, or 0 when memory failed.
int composeHeader(Text *t, const MailJob *job, int encoded);

// Result of appendTemplate.
enum TemplateResult { kTemplateOk = 0, kTemplateNoMemory = 1, kTemplateUnopened = 2 };

// Appends the template named by the settings, with every field's name replaced by its
// value, the "$Opt." markers by the optional text when given, and lines that begin
// with "." (at the start of a piece or after a line break that a value brought in)
// given an extra ".". A substituted piece is cut at kPieceLimit characters.
TemplateResult appendTemplate(Text *t, const FormTable *table, const FormSettings *settings);

// Substitutes one piece into `out` (an initialised text, emptied first); the core of
// appendTemplate. Returns 1, or 0 when memory failed.
int substitutePiece(const char *piece, const FormTable *table, const FormSettings *settings, Text *out);

// Returns the quoted-printable form of `in` as a new text in `out` (lines end "\r\n",
// broken with "=\r\n" at 72 characters). Returns 1, or 0 when memory failed.
int encodeQuotedPrintable(const Text *in, Text *out);

// 8-bit sending puts the plain text on the wire in the form SMTP requires: every line
// end of the text (LF from the template, CR LF or a lone CR from a form value) becomes
// CR LF, and no line may be longer than kSmtpLineLimit octets before its CR LF.
enum { kSmtpLineLimit = 998 };

// Copies the plain text from *pos into out (room bytes, at least 3) in its wire form,
// advances *pos past what was taken and returns the bytes written (0 once the text is
// done). A line that a lone CR begins gets a second "." when it begins with "." (the
// lines after a LF have theirs from appendTemplate already), so no value can end the
// message early.
size_t crlfPiece(const Text *text, size_t *pos, char *out, size_t room);

// The longest line of the text in its wire form, in octets before its CR LF (a
// doubled "." counted).
size_t longestCrlfLine(const Text *text);

#endif
