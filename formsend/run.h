// formsend: one run from the posted form to the answer for the web server: the log,
// the form, the configuration, the two message texts and the delivery.
// Portable: standard input and output, the profile lookup and the sockets come in.
#ifndef FORMSEND_RUN_H
#define FORMSEND_RUN_H

#include <stdio.h>

#include "formsend/form.h"
#include "formsend/smtp.h"

struct RunContext {
  FILE *in;                   // the form body (read as bytes)
  FILE *out;                  // the answer to the web server
  const char *contentLength;  // CONTENT_LENGTH, NULL when unset
  ProfileLookup lookup;       // the "Quenby Mailer" section of formsend.ini
  void *lookupContext;
  const SocketApi *sockets;
  int port;  // kSmtpPort but for tests
};

// Runs formsend in the working directory ("Formsend.log", the template, and
// "dead.letter.txt" live there). Returns the exit status: 0 for a normal end,
// 1 for every abort.
int runFormsend(const RunContext *ctx);

#endif
