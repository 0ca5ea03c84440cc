// TXSETUP (Windows): the Program Manager conversation of a run and the program group
// with its items, the uninstaller's item and the desktop shortcut.
#ifndef SETUP_PROGMAN_GROUP_H
#define SETUP_PROGMAN_GROUP_H

#include <windows.h>

// Installation step 3.15 (hourglass cursor): 1 when Program Manager answered.
int openProgmanConversation(void);
// Installation step 3.18. 1 on success, also when the script names no group; 0 when
// Program Manager refused the group and the user gave up (the run then fails).
int buildProgramGroup(HWND owner);
// WM_SETUP_FIND_PROGRAM: the group name at the start of the buffer, the file name at
// buffer + offset; the program's full path (at most 260 characters with the
// terminator) replaces them. 1 when found; 0 with the buffer emptied otherwise.
LRESULT findProgramMessage(WPARAM offset, LPARAM buffer);
// At the end of the program: the conversation, the service and the DDE instance.
void closeProgmanConversation(void);

#endif
