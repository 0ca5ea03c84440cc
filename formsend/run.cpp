// formsend: the run as a whole, its order of steps and its abort paths.
#include "formsend/run.h"

#include <stdlib.h>
#include <string.h>

#include "formsend/compose.h"

static const char kInternalError[] =
    "Content-type: text/html\n\nAn internal error as occured, please inform the Webmaster!<p>";

// The records of a run are large; one static instance serves the single run.
static FormTable g_table;

static int abortWith(FILE *log, const char *reason, Text *plain, Text *encoded, Text *header)
{
    fprintf(log, "%s", reason);
    fprintf(log, "Program aborted\n");
    fclose(log);
    textFree(plain);
    textFree(encoded);
    textFree(header);
    freeForm(&g_table);
    return 1;
}

int runFormsend(const RunContext *ctx)
{
    FILE *log = fopen("Formsend.log", "w");
    if (!log) {
        fputs(kInternalError, ctx->out);
        fflush(ctx->out);
        return 1;
    }
    fprintf(log, "\n--- Quenby's Formsend V1.03\n\n");

    FormSettings settings;
    MailJob job;
    clearRecords(&settings, &job);
    char refusal[kRefusalSize] = "";
    readForm(ctx->in, ctx->contentLength, &g_table);
    int valid = 0;
    if (g_table.oversize) {
        snprintf(refusal, sizeof(refusal), "Refused form body: larger than %d bytes\n",
                 (int)kMaxBodyBytes);
    } else {
        valid = mapControlFields(&g_table, &settings, &job, refusal);
    }
    if (!valid) {
        if (settings.failureUrl[0]) {
            fprintf(ctx->out, "Location: %s\n\n", settings.failureUrl);
        } else {
            fputs(kInternalError, ctx->out);
        }
        fflush(ctx->out);
        fprintf(log, "%s", refusal);
        fprintf(log, "Error: Some needed HTML variables were not sent by form.\n");
        fprintf(log, "Check your HTML form \n");
        fclose(log);
        freeForm(&g_table);
        return 1;
    }
    fprintf(log, "HTML data retrieved from http server.\n\n");

    Text header, encoded, plain;
    textInit(&header);
    textInit(&encoded);
    textInit(&plain);
    if (!readConfiguration(&job, ctx->lookup, ctx->lookupContext, refusal)) {
        fprintf(ctx->out, "Location: %s\n\n", settings.failureUrl);
        fflush(ctx->out);
        fprintf(log, "%s", refusal);
        return abortWith(log, "Invalid FORMSEND.INI\n", &plain, &encoded, &header);
    }

    // The encoded text first (header with encoded words, template, quoted-printable),
    // then the plain text; the template is read once for each.
    char unopened[kRefusalSize];
    snprintf(unopened, sizeof(unopened), "Error: cannot open the mail template %s\n",
             settings.templatePath);
    const char *failure = NULL;
    if (!composeHeader(&header, &job, 1)) {
        failure = "Error allocating memory\n";
    }
    if (!failure) {
        TemplateResult t = appendTemplate(&header, &g_table, &settings);
        if (t == kTemplateUnopened) {
            failure = unopened;
        } else if (t == kTemplateNoMemory || !encodeQuotedPrintable(&header, &encoded)) {
            failure = "Error allocating memory\n";
        }
    }
    textFree(&header);
    if (!failure && !composeHeader(&plain, &job, 0)) {
        failure = "Error allocating memory\n";
    }
    if (!failure) {
        TemplateResult t = appendTemplate(&plain, &g_table, &settings);
        if (t == kTemplateUnopened) {
            failure = unopened;
        } else if (t == kTemplateNoMemory) {
            failure = "Error allocating memory\n";
        }
    }
    if (failure) {
        fprintf(ctx->out, "Location: %s\n\n", settings.failureUrl);
        fflush(ctx->out);
        return abortWith(log, failure, &plain, &encoded, &header);
    }

    DeliveryIo io = {log, ctx->out, settings.successUrl, settings.failureUrl};
    DeliveryResult delivered = deliverMail(ctx->sockets, &job, &plain, &encoded, &io, ctx->port);
    fflush(ctx->out);
    if (delivered == kDeliveryAborted) {
        fclose(log);
        textFree(&plain);
        textFree(&encoded);
        freeForm(&g_table);
        return 1;
    }
    fprintf(log, "Program normally terminated\n");
    fclose(log);
    textFree(&plain);
    textFree(&encoded);
    freeForm(&g_table);
    return 0;
}
