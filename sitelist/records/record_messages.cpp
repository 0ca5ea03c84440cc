// The standard record-error messages: titles, buttons and texts composed from
// the store's error code, the file's name and the operation, and the prompt
// that every window shows them through.
#include "sitelist/records/record_messages.h"

#include "sitelist/records/keyed_store.h"

#include <stdio.h>
#include <string.h>

#include <atomic>

#include "common/tx_util.h"

static const RecordMessageDef kMessages[RM_COUNT] = {
    /* RM_DUPLICATE_KEY */ {"Duplicate Key Error", RB_OK, RI_EXCLAMATION, RA_OK},
    /* RM_INSERT_ERROR */ {"Record Insert Error", RB_OK, RI_EXCLAMATION, RA_OK},
    /* RM_UPDATE_RETRY */ {"Record Update Error", RB_YES_NO_CANCEL, RI_QUESTION, RA_YES},
    /* RM_DELETE_RETRY */ {"Record Update Error", RB_YES_NO_CANCEL, RI_QUESTION, RA_YES},
    /* RM_CHANGED_BY_OTHER */ {"Update Operation Error", RB_OK, RI_EXCLAMATION, RA_OK},
    /* RM_UPDATE_OPERATION */ {"Update Operation Error", RB_OK, RI_EXCLAMATION, RA_OK},
    /* RM_DELETE_OPERATION */ {"Delete Operation Error", RB_OK, RI_EXCLAMATION, RA_OK},
    /* RM_TRANSACTION_FRAMING */ {"Transaction Framing Error", RB_OK, RI_EXCLAMATION, RA_OK},
    /* RM_RECORD_RETRIEVAL */ {"Record Retrieval Error", RB_OK, RI_EXCLAMATION, RA_OK},
    /* RM_CONFIRM_DELETE */ {"Confirm Delete", RB_OK_CANCEL, RI_QUESTION, RA_OK},
    /* RM_FIELD_CONTENTS */ {"Field Contents Error", RB_OK, RI_EXCLAMATION, RA_OK},
    /* RM_FILE_CREATION */ {"File Creation Error", RB_OK, RI_STOP, RA_OK},
    /* RM_INVALID_FILE */ {"Invalid File", RB_OK, RI_STOP, RA_OK},
    /* RM_INVALID_KEY */ {"Invalid Key", RB_YES_NO, RI_QUESTION, RA_YES},
    /* RM_KEY_REBUILD */ {"Key Rebuild Error", RB_OK, RI_STOP, RA_OK},
    /* RM_FILE_ACCESS */ {"File Access Error", RB_OK_CANCEL, RI_STOP, RA_OK},
    /* RM_DISK_ERROR */ {"Disk Error", RB_OK, RI_STOP, RA_OK},
};
static_assert(ARRAY_SIZE(kMessages) == RM_COUNT, "one definition per message");

const RecordMessageDef* RecordMessageDefinition(int id) { return id >= 0 && id < RM_COUNT ? &kMessages[id] : nullptr; }

int FormatRecordMessage(int id, int error, const char* file, const char* detail, RecordMessage* out) {
  const RecordMessageDef* def = RecordMessageDefinition(id);
  if (!def || !out) return 0;
  memset(out, 0, sizeof *out);
  out->id = id;
  out->buttons = def->buttons;
  out->icon = def->icon;
  out->default_answer = def->default_answer;
  snprintf(out->title, sizeof out->title, "%s", def->title);
  if (!file) file = "";
  if (!detail) detail = "";
  char err[96];
  snprintf(err, sizeof err, "%s (%d)", ks_error_text(error), error);
  char lower[32];
  size_t i = 0;
  for (; detail[i] && i < sizeof lower - 1; i++)
    lower[i] = (detail[i] >= 'A' && detail[i] <= 'Z') ? (char)(detail[i] + 32) : detail[i];
  lower[i] = 0;
  char* t = out->text;
  size_t cap = sizeof out->text;
  int n = 0;
  switch (id) {
    case RM_DUPLICATE_KEY:
      n = snprintf(t, cap, "Adding this record creates a duplicate entry for the key: %s", detail);
      break;
    case RM_INSERT_ERROR:
      n = snprintf(t, cap, "An error was experienced during the update of record.  Error: %s", err);
      break;
    case RM_UPDATE_RETRY:
      n = snprintf(t, cap, "An error was experienced changing this record.  Do you want to try to save again?");
      break;
    case RM_DELETE_RETRY:
      n = snprintf(t, cap, "An error was experienced deleting this record.  Do you want to try to save again?");
      break;
    case RM_CHANGED_BY_OTHER: n = snprintf(t, cap, "This record was changed by another station."); break;
    case RM_UPDATE_OPERATION:
      n = snprintf(t, cap,
                   "An error (%s) was experienced when attempting to update a record from the file.  "
                   "Probable Cause: %s.",
                   err, file);
      break;
    case RM_DELETE_OPERATION:
      n = snprintf(t, cap, "An error (%s) was experienced when attempting to delete a record from the file %s", err,
                   file);
      break;
    case RM_TRANSACTION_FRAMING:
      n = snprintf(t, cap, "Error: (%s) attempting to frame the %s transaction on %s.  %s transaction cancelled.", err,
                   lower, file, detail);
      break;
    case RM_RECORD_RETRIEVAL:
      n = snprintf(t, cap, "Error: (%s) attempting to access a record from the %s file.  Returning to previous window.",
                   err, file);
      break;
    case RM_CONFIRM_DELETE:
      n = snprintf(t, cap,
                   "You've selected to delete the highlighted record.  Press OK to confirm deletion of this record.");
      break;
    case RM_FIELD_CONTENTS: n = snprintf(t, cap, "The value for %s must be found in the %s file.", detail, file); break;
    case RM_FILE_CREATION: n = snprintf(t, cap, "Error: (%s) attempting to create the %s file.", err, file); break;
    case RM_INVALID_FILE:
      n = snprintf(t, cap, "Error: (%s) attempting to open the %s file.  The file does not match its record layout.",
                   err, file);
      break;
    case RM_INVALID_KEY:
      n = snprintf(t, cap, "Error: (%s) attempting to open the %s file.  Do you want to rebuild its keys?", err, file);
      break;
    case RM_KEY_REBUILD:
      n = snprintf(t, cap, "Error: (%s) attempting to rebuild the keys of the %s file.", err, file);
      break;
    case RM_FILE_ACCESS:
      n = snprintf(t, cap, "Error: (%s) attempting to access the %s file.  Press OK to end this application.", err,
                   file);
      break;
    case RM_DISK_ERROR: n = snprintf(t, cap, "Disk Error"); break;
  }
  return n > 0 && (size_t)n < cap;
}

static std::atomic<RecordPromptFn> g_prompt{nullptr};
static thread_local void* t_message_owner = nullptr;

void* SetThreadMessageOwner(void* owner) {
  void* previous = t_message_owner;
  t_message_owner = owner;
  return previous;
}

void* ThreadMessageOwner(void) { return t_message_owner; }

void SetRecordPrompt(RecordPromptFn fn) { g_prompt.store(fn); }

int RecordPrompt(int id, int error, const char* file, const char* detail) {
  RecordMessage m;
  if (!FormatRecordMessage(id, error, file, detail, &m)) return RA_CANCEL;
  return PromptMessage(nullptr, &m);
}

int PromptMessage(void* owner, const RecordMessage* m) {
  if (!m) return RA_CANCEL;
  RecordPromptFn fn = g_prompt.load();
  return fn ? fn(m) : ShowRecordMessageOver(owner, m);
}
