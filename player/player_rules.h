// TXPLAYER's portable rules: the platform string and its parts, the controls flags,
// fitting the window onto the desktop, how a text is opened (location or local file),
// the forwarded command-line text, and the small text transformations of the window
// (caption, open-file filter, help path). No Windows header: the window code feeds
// these functions with what the platform reports.
#ifndef PLAYER_PLAYER_RULES_H
#define PLAYER_PLAYER_RULES_H

#include <stddef.h>
#include <stdint.h>

enum {
  kPlatformWin32s = 2,
  kPlatformWin95 = 4,
  kPlatformWinNT = 8,
  kAtomTextMax = 255,      // the most a global atom holds
  kForwardTextMax = 1279,  // the most a forwarded open request carries (the URL scratch less its zero)
  kPlatformStringSize = 128,
  kDistCodePathSize = 64,
};

// Architectures as the platform's system information reports them.
enum {
  kArchIntel = 0,
  kArchMips = 1,
  kArchAlpha = 2,
  kArchPpc = 3,
  kArchAmd64 = 9,
};

// The platform code of the version call's result: high bit set is the Windows 3.x
// or 95 family (Win32s when the major version is 3 or less, else Windows 95); high
// bit clear is Windows NT.
int platformCodeOf(uint32_t version);
// "Win16", "Win32s", "Win95", "WinNT", "MacOT", "MacTCP", "Linux", "Solaris", "Irix",
// "SunOS" for codes 1 ... 512; "UNK" for any other code.
const char *platformName(int code);

struct ProcessorFacts {
  int architecture;  // kArch*
  uint32_t type;     // 386, 486, 586 (the older report)
  int level;         // 3, 4, 5, 6 ... (the newer report)
  int platform;      // platform code
  int major, minor;  // the system's version
};
// "SLOW", "486", "586", "686", "Mips", "Alpha", "PPC" or "UNK". The 64-bit x86 build
// follows the Intel rules: it runs on the same family of processors.
const char *processorName(const ProcessorFacts *facts);
// The floating-point unit: present on non-Intel architectures; on Intel as the
// registry says (fpuKeyOpens).
int fpuPresent(int architecture, int fpuKeyOpens);

// "%s_%d.%d_%s_%s_%s_%s_%s%s": system, major, minor, version "3.0.0.9", edition
// "plus32", distribution code, "EN", processor, "_No-FPU" without a floating-point
// unit. Returns 0 when it does not fit (out then holds what fitted).
int buildPlatformString(int platform, int major, int minor, const char *distCode, const char *processor, int fpu,
                        char *out, size_t room);

// The version-resource path of DistCode for the first "\VarFileInfo\Translation"
// entry: the entry printed with "%8lx", blanks made "0", its last four digits then
// its first four ("\StringFileInfo\040904e4\DistCode" for 0x04E40409).
void distCodePath(uint32_t translation, char *out, size_t room);

struct ViewFlags {
  int infoVolume;  // Info and Volume shown
  int statusBar;
  int presets;  // Presets and Scan shown
  int onTop;
  int rivovuzUdav;
};
// The initial view: Info and Volume, Status Bar, Presets and Scan on; the rest off.
ViewFlags defaultViewFlags(void);
uint32_t controlsFlags(int platform, const ViewFlags *view);

struct ScreenRect {
  int left, top, right, bottom;
};
// Fits a window onto the desktop: narrower than 200 counts as 200, lower than 50 as
// 50; past the right or bottom edge it moves left or up; before the left or top edge
// it moves right or down. Returns the new left and top.
void fitOntoDesktop(const ScreenRect *window, const ScreenRect *desktop, int *left, int *top);

// How an open request's text is opened.
enum OpenKind { kOpenNothing = 0, kOpenLocation = 1, kOpenLocalFile = 2 };
// A forwarded text: empty is nothing, "ovm:" at its start a location, else a local file.
OpenKind forwardedKind(const char *text);
// The location to play for a typed or forwarded location: leading white space
// skipped, "ovm://" put in front unless it begins with "ovm://" or "http://"
// (either case). Returns 0 when it was cut to fit.
int locationToPlay(const char *text, char *out, size_t room);
// The last file of a local open: the text without a leading "file:" (either case).
int lastFileOf(const char *text, char *out, size_t room);

// The text a start hands on: the command line without surrounding blanks, and
// without one pair of double quotes around the whole of it (the shell may quote a
// path with blanks). Returns 0 when it was cut to fit.
int commandLineText(const char *commandLine, char *out, size_t room);

// How a text travels to the running copy.
enum ForwardWay { kForwardNone = 0, kForwardAtom = 1, kForwardCopyData = 2, kForwardTooLong = 3 };
// Nothing for an empty text; a global atom up to 255 characters; longer texts up to
// kForwardTextMax as copied data; anything longer cannot be handed over.
ForwardWay forwardWay(const char *text);

// The caption: the format with its first "%s" replaced by the title and "%%" made
// "%"; any other "%" is copied as it stands (a translated format is data, not a
// formatting call's argument list).
void formatCaption(const char *format, const char *title, char *out, size_t room);

// The open-file filter: string 821 with each "|" made a zero (the list ends with
// two zeros). Returns the bytes used, 0 when it does not fit.
size_t openFileFilter(const char *text, char *out, size_t room);

// Splits a path at its last backslash into directory and file name (no backslash:
// empty directory, the whole as the name).
void splitAtLastBackslash(const char *path, char *directory, size_t directoryRoom, char *name, size_t nameRoom);

// The help file: the Windows directory, a backslash when it lacks one, "Help\" and
// "TXPLAYER.HLP". Returns 0 when it does not fit.
int helpFilePath(const char *windowsDirectory, char *out, size_t room);

// A preference flag: "1" is on, anything else off.
int preferenceFlag(const char *text);
// A decimal preference ("x", "y", "MaxClipCount"); returns 0 and leaves *value for
// a text that is not a whole decimal number in int range.
int preferenceNumber(const char *text, int *value);

#endif
