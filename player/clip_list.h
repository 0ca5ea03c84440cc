// The recent-clip list: (URL, title) pairs, newest first, at most MaxClipCount of
// them, kept in the preferences as Clips1, Clips2 ... and shown in File, Open Recent.
// Portable: the one platform service it needs (a file's full path) is passed in.
#ifndef PLAYER_CLIP_LIST_H
#define PLAYER_CLIP_LIST_H

#include <stddef.h>

enum {
  kMaxRecentClips = 100,  // the most a list keeps whatever MaxClipCount says
  kClipUrlSize = 1280,
  kClipTitleSize = 1601,
  kRecentPathSize = 260,  // the full path of a "file:" clip
  kRecentCommandBase = 42000,
};

struct RecentClip {
  char url[kClipUrlSize];
  char title[kClipTitleSize];
};

struct ClipList {
  int count;
  int rebuildMenu;  // the Open Recent menu must be made again before it is shown
  RecentClip items[kMaxRecentClips];
};

// The full path of a file name as the platform resolves it (260 at most); 1 when done.
typedef int (*FullPathFn)(const char *path, char *out, size_t room);

void clearClipList(ClipList *list);

// Splits a stored "<URL>|<title>" at its first "|"; 0 (nothing written) without one.
int parseClipEntry(const char *text, char *url, size_t urlRoom, char *title, size_t titleRoom);

// Appends a clip read from the preferences at the end; 0 when the list is full.
int appendClip(ClipList *list, const char *url, const char *title);

// A clip the library now plays: a "file:" URL (any case) becomes "file:" and the full
// path of the rest; an entry of exactly this URL moves to the front with the new title,
// otherwise the oldest entries give way so that at most maxClipCount remain. With a
// maxClipCount of 0 the list stays empty. Marks the menu for rebuilding; returns the
// new count.
int addRecent(ClipList *list, int maxClipCount, const char *title, const char *url, FullPathFn fullPath);

// Removes the entries from index n to the end; 1 when any went.
int trimRecent(ClipList *list, int n);

// MaxClipCount changed from previous to current (the library's preferences dialog):
// when it went down and the list is longer, the list is cut to it. 1 when the list was
// cut, so that the menu is made again at once.
int recentAfterSettings(ClipList *list, int previous, int current);

// The text an Open Recent item shows: the title with every "&" doubled (so that it is
// not taken for a mnemonic), or the URL when the title is empty.
void recentMenuText(const RecentClip *clip, char *out, size_t room);

#if defined(_WIN32)
// GetFullPathName as a FullPathFn.
int platformFullPath(const char *path, char *out, size_t room);
#endif

#endif
