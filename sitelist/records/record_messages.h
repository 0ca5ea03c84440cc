// The standard record-error messages of Tabulink as data, their composition from
// an error code, file name and operation, and the one function that shows them
// (a modal message box in the Windows builds).
#pragma once

#include <stddef.h>

enum RecordMessageId {
  RM_DUPLICATE_KEY = 0,    // add hits a unique key: detail = the key's description
  RM_INSERT_ERROR,         // other add failure
  RM_UPDATE_RETRY,         // put fails: Yes retries, No closes without saving, Cancel returns
  RM_DELETE_RETRY,         // delete fails: Yes retries, No/Cancel end the request
  RM_CHANGED_BY_OTHER,     // put in a transaction fails with 89
  RM_UPDATE_OPERATION,     // put in a transaction fails otherwise
  RM_DELETE_OPERATION,     // delete in a transaction fails
  RM_TRANSACTION_FRAMING,  // a transaction cannot begin: detail = "Delete" or "Update"
  RM_RECORD_RETRIEVAL,     // a sequential read fails
  RM_CONFIRM_DELETE,       // delete requested: OK deletes, Cancel keeps
  RM_FIELD_CONTENTS,       // a looked-up value is missing: detail = the field's name
  RM_FILE_CREATION,        // opening rules: creating a missing file failed
  RM_INVALID_FILE,         // opening rules: 47
  RM_INVALID_KEY,          // opening rules: 46, Yes rebuilds
  RM_KEY_REBUILD,          // opening rules: rebuild failed
  RM_FILE_ACCESS,          // opening rules: any other error; OK ends the program
  RM_DISK_ERROR,           // the program ends
  RM_COUNT
};

enum RecordButtons { RB_OK = 0, RB_OK_CANCEL, RB_YES_NO, RB_YES_NO_CANCEL };
enum RecordIcon { RI_INFORMATION = 0, RI_QUESTION, RI_EXCLAMATION, RI_STOP };
// Answers, numbered like the platform's IDOK, IDCANCEL, IDYES, IDNO.
enum RecordAnswer { RA_OK = 1, RA_CANCEL = 2, RA_YES = 6, RA_NO = 7 };

struct RecordMessageDef {
  const char* title;
  int buttons;         // RecordButtons
  int icon;            // RecordIcon
  int default_answer;  // answer of the default button
};
const RecordMessageDef* RecordMessageDefinition(int id);

struct RecordMessage {
  int id;
  char title[64];
  char text[1024];
  int buttons;
  int icon;
  int default_answer;
};

// Composes a message. error: the store's code (its text and code go in where the
// message shows an error); file: the file's name ("TABLNK"); detail: the key
// description, operation or field name the message needs. 1 on success.
int FormatRecordMessage(int id, int error, const char* file, const char* detail, RecordMessage* out);

// Shows a message modally and returns the answer (RecordAnswer). Windows builds:
// a message box over the active window; native builds: the message's default answer.
int ShowRecordMessage(const RecordMessage* m);
// The same over owner (a window handle; NULL: the calling thread's message
// owner, else its active window). Every message box of Tabulink ends here. An
// owner that is a child window (an MDI child) is disabled while the box shows,
// and only it: the other windows of the program stay usable.
int ShowRecordMessageOver(void* owner, const RecordMessage* m);

// The window that the calling thread's messages are modal to when no owner is
// named (the window skeleton sets it to the window, form or progress window
// the thread runs). Returns the previous one.
void* SetThreadMessageOwner(void* owner);
void* ThreadMessageOwner(void);

// Where RecordPrompt sends messages; NULL restores ShowRecordMessage. Lets the
// decisions built on the messages be driven without a display.
typedef int (*RecordPromptFn)(const RecordMessage* m);
void SetRecordPrompt(RecordPromptFn fn);
// Formats and shows a message through the current prompt; returns the answer.
int RecordPrompt(int id, int error, const char* file, const char* detail);
// Shows a message composed elsewhere (the program's own messages, id -1)
// through the current prompt, or over owner when none is set; returns the answer.
int PromptMessage(void* owner, const RecordMessage* m);
