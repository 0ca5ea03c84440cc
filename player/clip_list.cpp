// The recent-clip list: adding the clip now playing, cutting the list, and the
// texts of its menu.
#include "player/clip_list.h"

#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "common/tx_util.h"

void clearClipList(ClipList *list) {
  list->count = 0;
  list->rebuildMenu = 1;
}

int parseClipEntry(const char *text, char *url, size_t urlRoom, char *title, size_t titleRoom) {
  const char *bar = strchr(text, '|');
  if (!bar || urlRoom == 0 || titleRoom == 0) return 0;
  size_t n = (size_t)(bar - text);
  if (n > urlRoom - 1) n = urlRoom - 1;
  memcpy(url, text, n);
  url[n] = '\0';
  copyBounded(title, titleRoom, bar + 1);
  return 1;
}

int appendClip(ClipList *list, const char *url, const char *title) {
  if (list->count >= kMaxRecentClips) return 0;
  RecentClip *clip = &list->items[list->count++];
  copyBounded(clip->url, sizeof clip->url, url);
  copyBounded(clip->title, sizeof clip->title, title);
  list->rebuildMenu = 1;
  return 1;
}

static void removeClip(ClipList *list, int index) {
  memmove(&list->items[index], &list->items[index + 1], sizeof list->items[0] * (size_t)(list->count - index - 1));
  --list->count;
}

int addRecent(ClipList *list, int maxClipCount, const char *title, const char *url, FullPathFn fullPath) {
  if (!url) return list->count;
  if (!title) title = "";
  if (maxClipCount > kMaxRecentClips) maxClipCount = kMaxRecentClips;

  char key[kClipUrlSize];
  copyBounded(key, sizeof key, url);
  if (strncasecmp(url, "file:", 5) == 0) {
    char path[kRecentPathSize];
    if (fullPath && fullPath(url + 5, path, sizeof path)) snprintf(key, sizeof key, "file:%s", path);
  }

  int found = -1;
  for (int i = 0; i < list->count; ++i)
    if (strcmp(list->items[i].url, key) == 0) found = i;
  if (found >= 0) removeClip(list, found);
  if (maxClipCount <= 0) {
    list->count = 0;
    list->rebuildMenu = 1;
    return 0;
  }
  while (list->count >= maxClipCount) removeClip(list, list->count - 1);

  memmove(&list->items[1], &list->items[0], sizeof list->items[0] * (size_t)list->count);
  ++list->count;
  copyBounded(list->items[0].url, sizeof list->items[0].url, key);
  copyBounded(list->items[0].title, sizeof list->items[0].title, title);
  list->rebuildMenu = 1;
  return list->count;
}

int trimRecent(ClipList *list, int n) {
  if (n < 0) n = 0;
  if (list->count <= n) return 0;
  list->count = n;
  list->rebuildMenu = 1;
  return 1;
}

int recentAfterSettings(ClipList *list, int previous, int current) {
  if (current >= previous || current >= list->count) return 0;
  return trimRecent(list, current);
}

void recentMenuText(const RecentClip *clip, char *out, size_t room) {
  if (room == 0) return;
  const char *text = clip->title[0] ? clip->title : clip->url;
  size_t n = 0;
  for (const char *p = text; *p; ++p) {
    size_t need = *p == '&' ? 2 : 1;
    if (n + need + 1 > room) break;
    out[n++] = *p;
    if (*p == '&') out[n++] = '&';
  }
  out[n] = '\0';
}
