// formsend fuzz target: the form decoder and the control-field mapping over any body,
// then one template piece substituted with the decoded fields.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "formsend/compose.h"
#include "formsend/form.h"

static FormTable g_table;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    char length[32];
    snprintf(length, sizeof(length), "%zu", size);
    readFormFromBytes(data, size, length, &g_table);
    FormSettings settings;
    MailJob job;
    clearRecords(&settings, &job);
    char refusal[kRefusalSize];
    mapControlFields(&g_table, &settings, &job, refusal);
    char piece[kPieceCapacity];
    size_t n = size < sizeof(piece) - 1 ? size : sizeof(piece) - 1;
    memcpy(piece, data, n);
    piece[n] = '\0';
    settings.optionalGiven = 1;
    substitutePiece(piece, &g_table, &settings);
    Text header, encoded;
    textInit(&header);
    if (composeHeader(&header, &job, 1)) {
        textAppendString(&header, piece);
        encodeQuotedPrintable(&header, &encoded);
        textFree(&encoded);
    }
    textFree(&header);
    freeForm(&g_table);
    return 0;
}
