// MonitorClipboard, "Monitor Clipboard": while the window is open, every new
// text on the clipboard is scanned for locations and each one found is added
// as a site.
#ifndef SITELIST_WINDOWS_MONITOR_WINDOW_H
#define SITELIST_WINDOWS_MONITOR_WINDOW_H

// The window procedure (started with StartProcedure; no argument). Opens the
// site and category files itself, asks about a text already on the clipboard,
// then reads the clipboard every quarter second until "E&xit". Returns the
// window's completion code (kWindowNotOpened when a file would not open).
int MonitorClipboard(void* unused);

#endif
