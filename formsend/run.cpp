// formsend: the run as a whole, its order of steps and its abort paths.
#include "formsend/run.h"

#include <stdlib.h>
#include <string.h>

#include "formsend/compose.h"

static const char kInternalError[] =
    "Content-type: text/html\n\nAn internal error as occured, please inform the Webmaster!<p>";

// The records of a run are large; one static instance serves the single run.
static FormTable g_table;

// The end of a run that refuses the form: the failure page (or the internal error
// page when the form named none) and the refusal in the log.
static void refuseForm(const RunContext *ctx, FILE *log, const FormSettings *settings, const char *refusal) {
  if (settings->failureUrl[0]) {
    fprintf(ctx->out, "Location: %s\n\n", settings->failureUrl);
  } else {
    fputs(kInternalError, ctx->out);
  }
  fflush(ctx->out);
  fprintf(log, "%s", refusal);
  fprintf(log, "Error: Some needed HTML variables were not sent by form.\n");
  fprintf(log, "Check your HTML form \n");
}

// Builds the encoded text (header with encoded words, template, quoted-printable),
// then the plain text; the template is read once for each. Returns NULL, or the
// log line that says why the texts could not be built (held in `unopened` when the
// template could not be opened).
static const char *composeTexts(const MailJob *job, const FormSettings *settings, Text *plain, Text *encoded,
                                char *unopened, size_t unopenedSize) {
  static const char kNoMemory[] = "Error allocating memory\n";
  snprintf(unopened, unopenedSize, "Error: cannot open the mail template %s\n", settings->templatePath);
  Text header;
  textInit(&header);
  const char *failure = NULL;
  if (!composeHeader(&header, job, 1)) { failure = kNoMemory; }
  if (!failure) {
    TemplateResult t = appendTemplate(&header, &g_table, settings);
    if (t == kTemplateUnopened) {
      failure = unopened;
    } else if (t == kTemplateNoMemory || !encodeQuotedPrintable(&header, encoded)) {
      failure = kNoMemory;
    }
  }
  textFree(&header);
  if (!failure && !composeHeader(plain, job, 0)) { failure = kNoMemory; }
  if (!failure) {
    TemplateResult t = appendTemplate(plain, &g_table, settings);
    if (t == kTemplateUnopened) {
      failure = unopened;
    } else if (t == kTemplateNoMemory) {
      failure = kNoMemory;
    }
  }
  return failure;
}

// The run once the log is open: everything it writes goes to the log and the
// answer; what it allocates is in `plain`, `encoded` and g_table, which the
// caller releases. Returns the exit status.
static int runWithLog(const RunContext *ctx, FILE *log, Text *plain, Text *encoded) {
  fprintf(log, "\n--- Quenby's Formsend V1.03\n\n");

  FormSettings settings;
  MailJob job;
  clearRecords(&settings, &job);
  char refusal[kRefusalSize] = "";
  readForm(ctx->in, ctx->contentLength, &g_table);
  int valid = 0;
  if (g_table.oversize) {
    snprintf(refusal, sizeof(refusal), "Refused form body: larger than %d bytes\n", (int)kMaxBodyBytes);
  } else {
    valid = mapControlFields(&g_table, &settings, &job, refusal);
  }
  if (!valid) {
    refuseForm(ctx, log, &settings, refusal);
    return 1;
  }
  fprintf(log, "HTML data retrieved from http server.\n\n");

  const char *failure = NULL;
  char unopened[kRefusalSize];
  if (!readConfiguration(&job, ctx->lookup, ctx->lookupContext, refusal)) {
    fprintf(log, "%s", refusal);
    failure = "Invalid FORMSEND.INI\n";
  } else {
    failure = composeTexts(&job, &settings, plain, encoded, unopened, sizeof(unopened));
  }
  if (failure) {
    fprintf(ctx->out, "Location: %s\n\n", settings.failureUrl);
    fflush(ctx->out);
    fprintf(log, "%s", failure);
    fprintf(log, "Program aborted\n");
    return 1;
  }

  DeliveryIo io = {log, ctx->out, settings.successUrl, settings.failureUrl};
  DeliveryResult delivered = deliverMail(ctx->sockets, &job, plain, encoded, &io, ctx->port);
  fflush(ctx->out);
  if (delivered == kDeliveryAborted) {
    return 1;  // delivery logged why
  }
  fprintf(log, "Program normally terminated\n");
  return 0;
}

int runFormsend(const RunContext *ctx) {
  FILE *log = fopen("Formsend.log", "w");
  if (!log) {
    fputs(kInternalError, ctx->out);
    fflush(ctx->out);
    return 1;
  }
  Text encoded, plain;
  textInit(&encoded);
  textInit(&plain);
  int status = runWithLog(ctx, log, &plain, &encoded);
  fclose(log);
  textFree(&plain);
  textFree(&encoded);
  freeForm(&g_table);
  return status;
}
