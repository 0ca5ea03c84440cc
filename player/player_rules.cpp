// TXPLAYER's portable rules (see player_rules.h).
#include "player/player_rules.h"

#include <ctype.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>

#include "common/tx_util.h"

namespace {

const char kShellVersion[] = "3.0.0.9";
const char kEdition[] = "plus32";
const char kLanguageCode[] = "EN";

struct PlatformEntry {
  int code;
  const char *name;
};

const PlatformEntry kPlatforms[] = {
    {1, "Win16"},
    {kPlatformWin32s, "Win32s"},
    {kPlatformWin95, "Win95"},
    {kPlatformWinNT, "WinNT"},
    {16, "MacOT"},
    {32, "MacTCP"},
    {64, "Linux"},
    {128, "Solaris"},
    {256, "Irix"},
    {512, "SunOS"},
};
static_assert(ARRAY_SIZE(kPlatforms) == 10, "one name per platform code");

// The processor names the platform string knows; "68K" and "Sparc" belong to the
// platforms this program does not run on.
const char *const kProcessorNames[] = {"SLOW", "486", "586", "686", "Mips", "Alpha", "PPC", "68K", "Sparc", "UNK"};
static_assert(ARRAY_SIZE(kProcessorNames) == 10, "processor names");

int startsWithNoCase(const char *text, const char *prefix) {
  for (; *prefix; ++text, ++prefix) {
    if (tolower((unsigned char)*text) != tolower((unsigned char)*prefix)) return 0;
  }
  return 1;
}

int isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

int platformCodeOf(uint32_t version) {
  if (version & 0x80000000u) {
    int major = (int)(version & 0xFF);
    return major <= 3 ? kPlatformWin32s : kPlatformWin95;
  }
  return kPlatformWinNT;
}

const char *platformName(int code) {
  for (const PlatformEntry &p : kPlatforms) {
    if (p.code == code) return p.name;
  }
  return "UNK";
}

const char *processorName(const ProcessorFacts *f) {
  switch (f->architecture) {
    case kArchMips: return kProcessorNames[4];
    case kArchAlpha: return kProcessorNames[5];
    case kArchPpc: return kProcessorNames[6];
    case kArchIntel:
    case kArchAmd64: break;
    default: return kProcessorNames[9];
  }
  int olderReport = f->platform != kPlatformWinNT || f->major < 3 || (f->major == 3 && f->minor < 50);
  if (olderReport) {
    switch (f->type) {
      case 386: return kProcessorNames[0];
      case 486: return kProcessorNames[1];
      case 586: return kProcessorNames[2];
      default: return kProcessorNames[9];
    }
  }
  if (f->level <= 3) return kProcessorNames[0];
  if (f->level == 4) return kProcessorNames[1];
  if (f->level == 5) return kProcessorNames[2];
  if (f->level == 6) return kProcessorNames[3];
  return kProcessorNames[9];
}

int fpuPresent(int architecture, int fpuKeyOpens) {
  if (architecture != kArchIntel && architecture != kArchAmd64) return 1;
  return fpuKeyOpens ? 1 : 0;
}

int buildPlatformString(int platform, int major, int minor, const char *distCode, const char *processor, int fpu,
                        char *out, size_t room) {
  int n = snprintf(out, room, "%s_%d.%d_%s_%s_%s_%s_%s%s", platformName(platform), major, minor, kShellVersion,
                   kEdition, distCode, kLanguageCode, processor, fpu ? "" : "_No-FPU");
  return n >= 0 && (size_t)n < room;
}

void distCodePath(uint32_t translation, char *out, size_t room) {
  char entry[16];
  snprintf(entry, sizeof entry, "%8lx", (unsigned long)translation);
  for (char *p = entry; *p; ++p) {
    if (*p == ' ') *p = '0';
  }
  // "%8lx" of a 32-bit value gives exactly eight digits.
  snprintf(out, room, "\\StringFileInfo\\%.4s%.4s\\DistCode", entry + 4, entry);
}

ViewFlags defaultViewFlags(void) {
  ViewFlags v;
  v.infoVolume = 1;
  v.statusBar = 1;
  v.presets = 1;
  v.onTop = 0;
  v.rivovuzUdav = 0;
  return v;
}

uint32_t controlsFlags(int platform, const ViewFlags *view) {
  uint32_t flags = platform == kPlatformWin95 ? 0x1100u : 0x7100u;
  if (view->infoVolume) flags |= 0x200u;
  if (view->statusBar) flags |= 0x400u;
  if (view->presets) flags |= 0x10000u;
  return flags | 0x20000u;
}

void fitOntoDesktop(const ScreenRect *window, const ScreenRect *desktop, int *left, int *top) {
  int width = window->right - window->left;
  int height = window->bottom - window->top;
  if (width < 200) width = 200;
  if (height < 50) height = 50;
  int x = window->left;
  int y = window->top;
  if (x + width > desktop->right) x = desktop->right - width;
  if (y + height > desktop->bottom) y = desktop->bottom - height;
  if (x < desktop->left) x = desktop->left;
  if (y < desktop->top) y = desktop->top;
  *left = x;
  *top = y;
}

OpenKind forwardedKind(const char *text) {
  if (text[0] == '\0') return kOpenNothing;
  return startsWithNoCase(text, "ovm:") ? kOpenLocation : kOpenLocalFile;
}

int locationToPlay(const char *text, char *out, size_t room) {
  while (isBlank(*text)) ++text;
  if (startsWithNoCase(text, "ovm://") || startsWithNoCase(text, "http://")) return copyBounded(out, room, text);
  int n = snprintf(out, room, "ovm://%s", text);
  return n >= 0 && (size_t)n < room;
}

int lastFileOf(const char *text, char *out, size_t room) {
  if (startsWithNoCase(text, "file:")) text += 5;
  return copyBounded(out, room, text);
}

int commandLineText(const char *commandLine, char *out, size_t room) {
  const char *begin = commandLine;
  while (isBlank(*begin)) ++begin;
  const char *end = begin + strlen(begin);
  while (end > begin && isBlank(end[-1])) --end;
  if (end - begin >= 2 && begin[0] == '"' && end[-1] == '"' &&
      memchr(begin + 1, '"', (size_t)(end - begin - 2)) == nullptr) {
    ++begin;
    --end;
  }
  if (room == 0) return 0;
  size_t n = (size_t)(end - begin);
  int whole = 1;
  if (n > room - 1) {
    n = room - 1;
    whole = 0;
  }
  memcpy(out, begin, n);
  out[n] = '\0';
  return whole;
}

ForwardWay forwardWay(const char *text) {
  size_t n = strlen(text);
  if (n == 0) return kForwardNone;
  if (n <= kAtomTextMax) return kForwardAtom;
  if (n <= kForwardTextMax) return kForwardCopyData;
  return kForwardTooLong;
}

void formatCaption(const char *format, const char *title, char *out, size_t room) {
  if (room == 0) return;
  size_t used = 0;
  int titleDone = 0;
  auto put = [&](const char *s, size_t n) {
    if (used + n > room - 1) n = room - 1 - used;
    memcpy(out + used, s, n);
    used += n;
  };
  for (const char *p = format; *p; ++p) {
    if (p[0] == '%' && p[1] == '%') {
      put("%", 1);
      ++p;
    } else if (p[0] == '%' && p[1] == 's' && !titleDone) {
      put(title, strlen(title));
      titleDone = 1;
      ++p;
    } else {
      put(p, 1);
    }
  }
  out[used] = '\0';
}

size_t openFileFilter(const char *text, char *out, size_t room) {
  size_t n = strlen(text);
  if (n + 2 > room) return 0;
  for (size_t i = 0; i < n; ++i) out[i] = text[i] == '|' ? '\0' : text[i];
  out[n] = '\0';
  out[n + 1] = '\0';
  return n + 2;
}

void splitAtLastBackslash(const char *path, char *directory, size_t directoryRoom, char *name, size_t nameRoom) {
  const char *slash = strrchr(path, '\\');
  if (slash == nullptr) {
    copyBounded(directory, directoryRoom, "");
    copyBounded(name, nameRoom, path);
    return;
  }
  size_t n = (size_t)(slash - path);
  if (directoryRoom > 0) {
    if (n > directoryRoom - 1) n = directoryRoom - 1;
    memcpy(directory, path, n);
    directory[n] = '\0';
  }
  copyBounded(name, nameRoom, slash + 1);
}

int helpFilePath(const char *windowsDirectory, char *out, size_t room) {
  size_t n = strlen(windowsDirectory);
  const char *sep = (n > 0 && windowsDirectory[n - 1] == '\\') ? "" : "\\";
  int w = snprintf(out, room, "%s%sHelp\\TXPLAYER.HLP", windowsDirectory, sep);
  return w >= 0 && (size_t)w < room;
}

int preferenceFlag(const char *text) { return strcmp(text, "1") == 0; }

int preferenceNumber(const char *text, int *value) {
  const char *p = text;
  int negative = 0;
  if (*p == '-') {
    negative = 1;
    ++p;
  }
  if (*p == '\0') return 0;
  long long v = 0;
  for (; *p; ++p) {
    if (*p < '0' || *p > '9') return 0;
    v = v * 10 + (*p - '0');
    if (v > (long long)INT_MAX + 1) return 0;
  }
  if (negative) v = -v;
  if (v > INT_MAX || v < INT_MIN) return 0;
  *value = (int)v;
  return 1;
}
