// Fuzz target of the texts the player takes from the registry and hands on: a stored
// Sites or Clips value, and a handler command filled with a URL made safe for it. The
// input is a value, or a command and a URL separated by a zero byte.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <memory>
#include <string>

#include "player/browser_link.h"
#include "player/clip_list.h"
#include "player/sites_menu.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string input((const char *)data, size);
  std::string value = input.substr(0, input.find('\0'));

  std::unique_ptr<SiteEntry> site(new SiteEntry);
  if (parseSiteEntry(value.c_str(), site.get()) &&
      strlen(site->url) + strlen(site->menuText) + strlen(site->statusText) + 2 != value.size() &&
      value.size() < kSiteTextSize)
    __builtin_trap();  // a whole value splits without losing a character

  std::unique_ptr<RecentClip> clip(new RecentClip);
  if (parseClipEntry(value.c_str(), clip->url, sizeof clip->url, clip->title, sizeof clip->title)) {
    char text[kClipTitleSize * 2];
    recentMenuText(clip.get(), text, sizeof text);
  }

  size_t zero = input.find('\0');
  std::string url = zero == std::string::npos ? "" : input.substr(zero + 1);
  url = url.substr(0, url.find('\0'));
  char safe[kBrowserUrlSize * 3], line[kBrowserCommandLineSize];
  if (quotedUrlText(url.c_str(), safe, sizeof safe)) {
    if (strchr(safe, '"')) __builtin_trap();  // nothing can end a quoted argument
    if (fillCommand(value.c_str(), safe, line, sizeof line) && !strstr(value.c_str(), "%1") && strcmp(line, value.c_str()))
      __builtin_trap();  // a command without "%1" is started as it stands
    char item[kDdeItemSize];
    openUrlItem(safe, item, sizeof item);
  }
  return 0;
}
