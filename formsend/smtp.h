// formsend: SMTP delivery to the one gateway, the outcome answered to the web server,
// and the dead-letter record. Portable: the sockets are reached through SocketApi,
// which the Windows build binds to "wsock32.dll" loaded at run time.
#ifndef FORMSEND_SMTP_H
#define FORMSEND_SMTP_H

#include <stdint.h>
#include <stdio.h>

#include "formsend/compose.h"
#include "formsend/form.h"

typedef intptr_t SocketHandle;  // -1: no socket

enum {
  kSmtpPort = 25,
  kReplySize = 512,
  kCommandSize = 1024,
  kMessagePieceBytes = 1023,
  kReceiveTimeoutSeconds = 60,
  kErrorTimedOut = 10060,  // the Windows Sockets number a receive time-out reports
};

// One host entry as the lookups return it.
struct HostEntry {
  char name[kAddressSize];
  unsigned char address[4];
  int addressLength;
};

// The small sockets interface that delivery needs. Every call reports failure by its
// result; lastError() then gives the Windows Sockets error number of the last failure.
struct SocketApi {
  int (*load)(void);                      // load and start the library (version 1.1); 0: cannot
  void (*unload)(void);                   // shut the library down and unload it
  int (*hostName)(char *out, int limit);  // 0 on success
  int (*lastError)(void);
  int (*parseAddress)(const char *text, unsigned char out[4]);                 // 1: dotted IPv4 text
  int (*hostByAddress)(const unsigned char address[4], HostEntry *out);        // 1: found
  int (*hostByName)(const char *name, HostEntry *out);                         // 1: found
  SocketHandle (*openStream)(void);                                            // -1 on failure
  int (*connectTo)(SocketHandle s, const unsigned char address[4], int port);  // 0 on success
  void (*closeSocket)(SocketHandle s);
  // Receives up to len bytes: the count, 0 when the peer closed, -1 on an error or
  // when nothing came within kReceiveTimeoutSeconds.
  int (*receive)(SocketHandle s, char *buf, int len);
  int (*send)(SocketHandle s, const char *buf, int len);  // bytes sent or -1
};

enum StepResult { kStepFailed = 0, kStepNegative = 1, kStepPositive = 2 };
enum SmtpStep { kReadReply, kHelo, kMailFrom, kRcptTo, kData, kQuit, kSendMessage };

// Where delivery writes: the log, the answer to the web server, and the two URLs.
struct DeliveryIo {
  FILE *log;
  FILE *out;
  const char *successUrl;
  const char *failureUrl;
};

enum DeliveryResult { kDeliveryDone = 0, kDeliveryAborted = 1 };

// The text of a Windows Sockets error number, "Unknown" for others.
const char *socketErrorText(int code);

// Fills the gateway host information of the job. Returns 1 when the gateway was found.
int resolveGateway(const SocketApi *api, MailJob *job);

// A connected stream socket to the gateway's first address on `port`, or -1.
SocketHandle connectGateway(const SocketApi *api, const MailJob *job, int port);

// Receives one whole reply (up to its last line, the one without "-" after the code)
// into buf (room bytes, zero-ended; what does not fit is read and dropped).
// Returns the bytes kept, 0 when the peer closed before anything came, -1 on an
// error or time-out.
int receiveReply(const SocketApi *api, SocketHandle s, char *buf, int room);

// Sends all of data; returns len or -1.
int sendAll(const SocketApi *api, SocketHandle s, const char *data, int len);

// One step of the dialogue; `message` is used by kSendMessage only: sent as it is when
// job->encode is 1, else in its wire form (crlfPiece).
StepResult smtpStep(const SocketApi *api, SocketHandle s, FILE *log, const Text *message, MailJob *job, SmtpStep step);

// Appends the dated plain text to "dead.letter.txt" in the working directory.
// Returns 1 when written; logs "Cannot open dead.letter.txt" and returns 0 otherwise.
int writeDeadLetter(const Text *plain, FILE *log);

// Runs the whole delivery: the sockets library, the gateway lookup, the connection, the
// dialogue and the outcome. kDeliveryAborted: the run must end with status 1 (the
// error is logged, the socket closed and the library unloaded already).
DeliveryResult deliverMail(const SocketApi *api, MailJob *job, const Text *plain, const Text *encoded,
                           const DeliveryIo *io, int port);

#endif
