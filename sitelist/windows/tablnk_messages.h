// Tabulink's one message path. Every message box of the program is shown
// through these calls, and they all meet in ShowRecordMessageOver
// (sitelist/records/record_messages.h), which also shows the record messages
// of the opening rules and record operations (with a prompt set by
// SetRecordPrompt, that prompt answers all of them). The one box of another
// kind is the platform stop box, a dialog from the resources, since the
// message box has no Abort-Ignore pair. Texts come from the string table
// (by IDS_ number) or from the record messages; a text composed at run time is
// built from string-table pieces and data, never from a literal in the code.
// No call here ends the program: an answer that asks for the end is returned,
// and the caller asks for it with RequestProgramEnd (program_end.h).
#ifndef SITELIST_WINDOWS_TABLNK_MESSAGES_H
#define SITELIST_WINDOWS_TABLNK_MESSAGES_H

#include <windows.h>

#include <cstddef>

#include "sitelist/records/record_messages.h"

// Loads string-table text id into out (always terminated; "" when missing).
void LoadText(UINT id, char* out, size_t capacity);

// Shows a message box modal to owner's window or form (owner may be any
// control in it; null: the window, form or progress window the calling
// thread runs, else its active window), title and text from the string table.
// Only that window is disabled: the frame's other windows stay usable. buttons: RecordButtons (RB_OK ...);
// icon: RecordIcon (RI_INFORMATION ...); the first button is the default.
// Returns the answer (RecordAnswer: RA_OK, RA_CANCEL, RA_YES, RA_NO).
int ShowMessage(HWND owner, UINT titleId, UINT textId, int buttons, int icon);

// As ShowMessage, with a text the caller composed (from string-table pieces
// and data such as a file name or an error text).
int ShowMessageText(HWND owner, UINT titleId, const char* text, int buttons, int icon);

// A question as ShowMessage asks it, whose default button is the one that
// answers defaultAnswer (RA_NO ...) rather than the first.
int ShowQuestion(HWND owner, UINT titleId, UINT textId, int buttons, int defaultAnswer);

// The platform stop box titled "Stop" with text, Abort and Ignore, modal to
// owner's window as ShowMessage is (null: the thread's window, or none). Returns IDABORT or IDIGNORE; on Abort the caller stops
// what it does and asks for the end (RequestProgramEnd(kExitAborted)).
int StopBox(HWND owner, const char* text);

#endif
