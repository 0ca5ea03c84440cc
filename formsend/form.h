// formsend: the records of a run, reading and decoding the posted form, the form's
// control fields and their validation, and the "Quenby Mailer" configuration.
// Portable: no Windows header; the configuration is read through a lookup callback
// that the Windows build binds to the private-profile calls.
#ifndef FORMSEND_FORM_H
#define FORMSEND_FORM_H

#include <stddef.h>
#include <stdio.h>

#include "common/tx_util.h"

enum {
  kMaxFields = 1000,
  kMaxRecipients = 100,
  kAddressSize = 65,
  kSenderNameSize = 50,
  kSubjectSize = 200,
  kSettingSize = 100,
  kCharsetSize = 22,
  kDottedSize = 51,
  kHostNameLimit = 50,
  kProfileValueSize = 65,
  kFieldGrowStep = 102400,
  kMaxBodyBytes = 1048576,  // a larger form body is refused
  kRefusalSize = 320,       // one log line naming a refused field or path
};

// One decoded form field; name and value are heap strings owned by the table.
struct FormField {
  char *name;
  char *value;
};

// The fields in body order. `last` is the index of the last field read, -1 for none.
// `oversize` is set when the body was refused for its size and nothing was read.
struct FormTable {
  FormField fields[kMaxFields];
  int last;
  int oversize;
};

struct FormSettings {
  char templatePath[kSettingSize];
  char successUrl[kSettingSize];
  char failureUrl[kSettingSize];
  char optionalText[kSettingSize];
  int optionalGiven;
  int lastField;
};

struct MailJob {
  char localHost[kAddressSize];
  char senderAddress[kAddressSize];
  char senderName[kSenderNameSize];
  char gateway[kAddressSize];
  char subject[kSubjectSize];
  char recipients[kMaxRecipients][kAddressSize];
  int ccCount;
  int bccCount;
  int toCount;
  int currentRecipient;
  int encode;
  char charset[kCharsetSize];
  char gatewayName[kAddressSize];
  char gatewayDotted[kDottedSize];
  unsigned char gatewayAddress[4];
};

// Empties both records (every run starts from empty text fields).
void clearRecords(FormSettings *settings, MailJob *job);

// Decodes one field text in place: "+" to space, then "%XY" escapes. A "%" with fewer
// than two characters after it is kept as it stands. Returns the decoded length.
size_t decodeFieldText(char *text, size_t length);

// Reads the form body from `in`: at most the byte count in `contentLength` (the
// CONTENT_LENGTH text, NULL counts as 0), fields split at "&", decoded, split at the
// first "=". At most kMaxFields fields are kept; further ones are read and dropped.
// A count above kMaxBodyBytes reads nothing and sets table->oversize.
// Returns the last field index (-1 for none), also kept in table->last. A field whose
// memory cannot be had ends the reading there.
int readForm(FILE *in, const char *contentLength, FormTable *table);

// Same reading from a byte range (used by the fuzz target and tests).
int readFormFromBytes(const unsigned char *data, size_t size, const char *contentLength, FormTable *table);

// Releases the heap strings of the table and marks it empty.
void freeForm(FormTable *table);

// Fills the settings and the job's form values from the fields and says whether the
// form is valid (1) or not (0). A line break in a header or envelope value, or a
// template path that is absolute, has a drive or climbs out with "..", makes the
// form not valid; `refusal` (kRefusalSize) then holds a log line naming it, else "".
int mapControlFields(const FormTable *table, FormSettings *settings, MailJob *job, char *refusal);

// Whether a template path names a file inside the working directory: relative, no
// drive, no leading "\" or "/", no ".." component, not empty.
int templatePathAllowed(const char *path);

// Looks a key of section "Quenby Mailer" up into out (room bytes, zero-ended), giving
// "none" when the key is missing.
typedef void (*ProfileLookup)(void *context, const char *key, char *out, size_t room);

// Reads Gateway, Sender (when the form gave none), Realname (when the form gave none),
// MIMEncode and Charset. Returns 1 when valid; 0 when a key read yields "none" or a
// sender value holds a line break (then `refusal` names it).
int readConfiguration(MailJob *job, ProfileLookup lookup, void *context, char *refusal);

#endif
