// formsend: the SMTP dialogue, the outcome and the dead-letter file.
#include "formsend/smtp.h"

#include <string.h>
#include <time.h>

struct SocketErrorName {
  int code;
  const char *text;
};

static const SocketErrorName kSocketErrors[] = {
    {10004, "Interrupted system call"},
    {10009, "Bad file number"},
    {10013, "Access denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open files"},
    {10035, "Operation would block"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on non-socket"},
    {10039, "Destination address required"},
    {10040, "Message too long"},
    {10041, "Protocol is wrong type for socket"},
    {10042, "Bad protocol option"},
    {10043, "Protocol not supported"},
    {10044, "Socket type not supported"},
    {10045, "Operation not supported on socket"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported by protocol family"},
    {10048, "Address already in use"},
    {10049, "Can't assign requested address"},
    {10050, "Network is down"},
    {10051, "ICMP network unreachable"},
    {10052, "Network was reset"},
    {10053, "Software caused connection abort"},
    {10054, "Connection reset by peer"},
    {10055, "No buffer space is supported"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Can't send after socket shutdown"},
    {10059, "Too many references"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10062, "Too many levels of symbolic links"},
    {10063, "Name too long"},
    {10064, "Host is down"},
    {10065, "Host is unreachable"},
    {10066, "Directory not empty"},
    {10067, "EPROCLIM returned"},
    {10068, "EUSERS returned"},
    {10069, "Disk quota exceeded"},
    {10070, "ESTALE returned"},
    {10071, "The object is remote"},
    {10091, "System not ready"},
    {10092, "Version is not supported"},
    {10093, "Not initialized"},
    {11001, "Host not found"},
    {11002, "Try again"},
    {11003, "Non-recoverable error"},
    {11004, "No data record available"},
};
static_assert(ARRAY_SIZE(kSocketErrors) == 50, "fifty socket error texts");

const char *socketErrorText(int code) {
  for (size_t i = 0; i < ARRAY_SIZE(kSocketErrors); ++i) {
    if (kSocketErrors[i].code == code) { return kSocketErrors[i].text; }
  }
  return "Unknown";
}

int resolveGateway(const SocketApi *api, MailJob *job) {
  HostEntry entry;
  memset(&entry, 0, sizeof(entry));
  unsigned char address[4];
  int found;
  if (api->parseAddress(job->gateway, address)) {
    found = api->hostByAddress(address, &entry);
  } else {
    found = api->hostByName(job->gateway, &entry);
  }
  if (!found) { return 0; }
  copyBounded(job->gatewayName, kAddressSize, entry.name);
  int n = entry.addressLength;
  if (n > 4) { n = 4; }
  if (n < 0) { n = 0; }
  memset(job->gatewayAddress, 0, 4);
  memcpy(job->gatewayAddress, entry.address, (size_t)n);
  snprintf(job->gatewayDotted, kDottedSize, "%u.%u.%u.%u", job->gatewayAddress[0], job->gatewayAddress[1],
           job->gatewayAddress[2], job->gatewayAddress[3]);
  return 1;
}

SocketHandle connectGateway(const SocketApi *api, const MailJob *job, int port) {
  SocketHandle s = api->openStream();
  if (s == -1) { return -1; }
  if (api->connectTo(s, job->gatewayAddress, port) != 0) {
    api->closeSocket(s);
    return -1;
  }
  return s;
}

int receiveReply(const SocketApi *api, SocketHandle s, char *buf, int room) {
  char discard[kReplySize];
  int count = 0;
  int lineLength = 0;
  int fourth = 0;
  int complete = 0;
  buf[0] = '\0';
  while (!complete) {
    char *into = discard;
    int space = (int)sizeof(discard);
    if (count < room - 1) {
      into = buf + count;
      space = room - 1 - count;
    }
    int n = api->receive(s, into, space);
    if (n < 0) { return -1; }
    if (n == 0) {
      break;  // the peer closed: what came so far is the reply
    }
    for (int i = 0; i < n; ++i) {
      char c = into[i];
      if (c == '\n') {
        // A reply ends with the line whose code is not followed by "-".
        if (lineLength < 4 || fourth != '-') { complete = 1; }
        lineLength = 0;
      } else {
        if (lineLength == 3) { fourth = c; }
        ++lineLength;
      }
    }
    if (into != discard) { count += n; }
  }
  buf[count] = '\0';
  return count;
}

int sendAll(const SocketApi *api, SocketHandle s, const char *data, int len) {
  int sent = 0;
  while (sent < len) {
    int n = api->send(s, data + sent, len - sent);
    if (n < 0) { return -1; }
    sent += n;
  }
  return sent;
}

static StepResult readReply(const SocketApi *api, SocketHandle s, FILE *log) {
  char reply[kReplySize];
  reply[0] = '\0';
  int n = receiveReply(api, s, reply, kReplySize);
  if (n == 0 || n == -1) { return kStepFailed; }
  fprintf(log, "%s\n", reply);
  return (unsigned char)reply[0] < '4' ? kStepPositive : kStepNegative;
}

static StepResult sendMessage(const SocketApi *api, SocketHandle s, FILE *log, const Text *message,
                              const MailJob *job) {
  char block[kCommandSize];
  fprintf(log, "OK, let's go to send the mail, now...\n");
  int n = snprintf(block, sizeof(block),
                   "X-mailer: Quenby's Formsend V1.03\r\nMime-Version: 1.0\r\n"
                   "Content-type: text/plain; charset=\"%s\"\r\nContent-transfer-encoding: %s",
                   job->charset, job->encode == 1 ? "Quoted-Printable\r\n" : "8bit\r\n");
  if (sendAll(api, s, block, n) < 0) { return kStepFailed; }
  size_t done = 0;
  while (done < message->length) {
    size_t piece;
    if (job->encode == 1) {
      piece = message->length - done;
      if (piece > kMessagePieceBytes) { piece = kMessagePieceBytes; }
      memcpy(block, message->data + done, piece);
      done += piece;
    } else {
      piece = crlfPiece(message, &done, block, kMessagePieceBytes);
    }
    if (sendAll(api, s, block, (int)piece) < 0) { return kStepFailed; }
  }
  if (sendAll(api, s, "\r\n.\r\n", 5) < 0) { return kStepFailed; }
  return readReply(api, s, log);
}

StepResult smtpStep(const SocketApi *api, SocketHandle s, FILE *log, const Text *message, MailJob *job, SmtpStep step) {
  char command[kCommandSize];
  const char *argument = "";
  switch (step) {
    case kReadReply: return readReply(api, s, log);
    case kSendMessage: return sendMessage(api, s, log, message, job);
    case kHelo:
      argument = job->localHost;
      snprintf(command, sizeof(command), "HELO %s\r\n", argument);
      fprintf(log, "Sending HELO %s...\n", argument);
      break;
    case kMailFrom:
      argument = job->senderAddress;
      snprintf(command, sizeof(command), "MAIL FROM: %s\r\n", argument);
      fprintf(log, "Sending MAIL FROM: %s...\n", argument);
      break;
    case kRcptTo:
      argument = job->recipients[job->currentRecipient];
      snprintf(command, sizeof(command), "RCPT TO: %s\r\n", argument);
      fprintf(log, "Sending RCPT TO: %s...\n", argument);
      break;
    case kData:
      snprintf(command, sizeof(command), "DATA\r\n");
      fprintf(log, "Sending DATA...\n");
      break;
    case kQuit:
      snprintf(command, sizeof(command), "QUIT\r\n");
      fprintf(log, "Sending QUIT...\n");
      break;
  }
  if (sendAll(api, s, command, (int)strlen(command)) == -1) { return kStepFailed; }
  return readReply(api, s, log);
}

int writeDeadLetter(const Text *plain, FILE *log) {
  static const char *const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char *const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  static_assert(ARRAY_SIZE(kDays) == 7 && ARRAY_SIZE(kMonths) == 12, "calendar names");
  FILE *f = fopen("dead.letter.txt", "a");
  if (!f) {
    fprintf(log, "Cannot open dead.letter.txt\n");
    return 0;
  }
  time_t now = time(NULL);
  struct tm *tm = localtime(&now);
  char date[64] = "";
  if (tm) {
    snprintf(date, sizeof(date), "%s %s %02d %02d:%02d:%02d %04d", kDays[tm->tm_wday % 7], kMonths[tm->tm_mon % 12],
             tm->tm_mday, tm->tm_hour, tm->tm_min, tm->tm_sec, tm->tm_year + 1900);
  }
  fprintf(f, "Date: %s\n", date);
  if (plain->length) { fwrite(plain->data, 1, plain->length, f); }
  fprintf(f, "\n--- CUT HERE ---\n");
  fclose(f);
  return 1;
}

static void keepDeadLetter(const Text *plain, FILE *log) {
  if (writeDeadLetter(plain, log)) { fprintf(log, "Unsent mail appended to .\\dead.letter.txt\n"); }
}

static DeliveryResult abortDelivery(const SocketApi *api, SocketHandle s, FILE *log) {
  fprintf(log, "Error: %s\nProgram aborted\n", socketErrorText(api->lastError()));
  if (s != -1) { api->closeSocket(s); }
  api->unload();
  return kDeliveryAborted;
}

// The text that goes out: the encoded one when the configuration asks for it, else the
// plain one, unless a line of it would be longer than SMTP carries: such a message goes
// out quoted-printable (the job says so from here on), whole, instead of being refused
// or having its lines broken.
static const Text *chooseMessage(MailJob *job, const Text *plain, const Text *encoded, FILE *log) {
  if (job->encode != 1 && longestCrlfLine(plain) > kSmtpLineLimit) {
    fprintf(log, "A line is longer than %d characters: sending the mail quoted-printable\n", (int)kSmtpLineLimit);
    job->encode = 1;
  }
  return job->encode == 1 ? encoded : plain;
}

DeliveryResult deliverMail(const SocketApi *api, MailJob *job, const Text *plain, const Text *encoded,
                           const DeliveryIo *io, int port) {
  if (!api->load()) { return kDeliveryDone; }
  if (api->hostName(job->localHost, kHostNameLimit) != 0) { return abortDelivery(api, -1, io->log); }
  job->localHost[kAddressSize - 1] = '\0';
  fprintf(io->log, "Local Host: %s\n", job->localHost);
  if (!resolveGateway(api, job)) { return abortDelivery(api, -1, io->log); }
  fprintf(io->log, "\nRemote Host Name: %s\nIP Address: %s\n\n", job->gatewayName, job->gatewayDotted);
  SocketHandle s = connectGateway(api, job, port);
  if (s == -1) {
    fprintf(io->out, "Location: %s\n\n", io->failureUrl);
    fprintf(io->log, "Error: %s\nProgram aborted\n", socketErrorText(api->lastError()));
    fprintf(io->log, "WARNING: Mail NOT sent!\n");
    keepDeadLetter(plain, io->log);
    api->unload();
    return kDeliveryDone;
  }
  fprintf(io->log, "Connected to remote SMTP port:\n");

  int accepted = 0;
  int sent = 0;
  int total = job->ccCount + job->bccCount + job->toCount;
  StepResult r = smtpStep(api, s, io->log, NULL, job, kReadReply);
  if (r == kStepPositive) { r = smtpStep(api, s, io->log, NULL, job, kHelo); }
  if (r == kStepPositive) { r = smtpStep(api, s, io->log, NULL, job, kMailFrom); }
  if (r == kStepPositive) {
    for (int i = 0; i < total; ++i) {
      job->currentRecipient = i;
      r = smtpStep(api, s, io->log, NULL, job, kRcptTo);
      if (r == kStepPositive) { ++accepted; }
    }
  }
  if (accepted > 0 && r > kStepFailed) { r = smtpStep(api, s, io->log, NULL, job, kData); }
  if (r == kStepPositive) {
    r = smtpStep(api, s, io->log, chooseMessage(job, plain, encoded, io->log), job, kSendMessage);
  }
  sent = r == kStepPositive;
  if (r > kStepFailed) {
    smtpStep(api, s, io->log, NULL, job, kQuit);
  } else {
    fprintf(io->out, "Location: %s\n\n", io->failureUrl);
    fprintf(io->log, "WARNING: Mail NOT sent!\n");
    keepDeadLetter(plain, io->log);
    return abortDelivery(api, s, io->log);
  }

  if (!sent) {
    fprintf(io->out, "Location: %s\n\n", io->failureUrl);
    fprintf(io->log, "WARNING: Mail NOT sent!\n");
    keepDeadLetter(plain, io->log);
  } else if (accepted < total) {
    fprintf(io->out, "Location: %s\n\n", io->failureUrl);
    fprintf(io->log, "WARNING: Mail incompletely sent, check your recipients\n");
    keepDeadLetter(plain, io->log);
  } else {
    fprintf(io->out, "Location: %s\n\n", io->successUrl);
    fprintf(io->log, "Mail sent\n");
  }
  api->closeSocket(s);
  fprintf(io->log, "Connection closed\n");
  api->unload();
  return kDeliveryDone;
}
