// The library's modal dialogs: the about box (the shell's texts from ClientSetup,
// and Visit, which hands the maker's web address to the shell's OpenInBrowser) and
// the preferences dialog (MaxClipCount, NetworkLatency and Volume, after which the
// shell's CheckSettings is called).
#ifndef OUTSIDE_OVUI3230_DIALOGS_H
#define OUTSIDE_OVUI3230_DIALOGS_H

#include "outside/ovui3230/library_state.h"

// Runs the about box over the shell's window; returns when it is closed.
void ShowAboutBox(Player *p);
// Runs the preferences dialog; 1 when it ended with OK (the values were written).
int EditPreferences(Player *p);

#endif
