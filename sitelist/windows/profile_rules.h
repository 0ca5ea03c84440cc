// Tabulink's settings rules, free of any window system: the version check, the
// restore and save rules of window positions, the "CtrlSize" encoding of control
// scaling, and the upgrade percentage. The window code reads and writes TABLNK.INI
// and applies the plans these functions return.
#ifndef SITELIST_WINDOWS_PROFILE_RULES_H
#define SITELIST_WINDOWS_PROFILE_RULES_H

#include <cstddef>
#include <cstdint>

// The version this program writes under "System", "Version", and its value in
// thousandths for comparisons.
extern const char kTablnkVersion[];
const long kTablnkVersionThousandths = 1500;

// Parses a version text as a decimal number in thousandths ("1.5" -> 1500,
// "1" -> 1000, "1.25" -> 1250). Leading spaces are skipped; the number ends at
// the first character that is not part of it; a blank or non-numeric text is 0;
// digits past the third decimal are ignored; values are capped at 999999999.
long VersionThousandths(const char* text);

// True when the stored version text is below this program's version, so the
// earlier-version files must be looked for.
bool NeedsUpgradeCheck(const char* storedVersion);

// Parses an INI integer the way the position rules read it: optional spaces,
// optional sign, digits. Returns false (and *value 0) for a missing, blank or
// non-numeric text, or one out of the range -1000000..1000000.
bool ParseProfileInt(const char* text, long* value);

// A window rectangle as stored under "XPosit", "YPosit", "Width", "Height".
struct WindowRect {
  long x;
  long y;
  long width;
  long height;
};

// The values read from a window's section; a text pointer is null when the key
// is missing.
struct StoredPosition {
  const char* xPosit;
  const char* yPosit;
  const char* width;
  const char* height;
  const char* maximize;
};

// What restoring a position does to a window.
struct RestorePlan {
  bool move;        // move the window to rect.x, rect.y
  bool resize;      // also give it rect.width, rect.height (resizable windows)
  WindowRect rect;  // valid where move/resize say so
  bool maximize;    // true: maximize; false: un-maximize
};

// The restore rule: "XPosit" 0 or missing, or a window that is already
// maximized, skips the move; "YPosit" 0 or missing skips it too; a resizable
// window needs "Width" and "Height" (0 or missing skips the move and size); a
// fixed-size window keeps its designed size. "Maximize" "Yes" (any letter case)
// maximizes, anything else un-maximizes.
RestorePlan PlanRestore(const StoredPosition& stored, bool resizable, bool alreadyMaximized);

// What saving a position writes.
struct SavePlan {
  bool writeAnything;    // false for a minimized window: nothing is written
  const char* maximize;  // "Yes" or "No"
  WindowRect rect;       // the values for "XPosit", "YPosit", "Width", "Height"
};

// The save rule: nothing for a minimized window; otherwise "Maximize" and the
// rectangle. normalRect is the window's un-maximized rectangle, so that a
// window saved while maximized un-maximizes to its earlier size.
SavePlan PlanSave(bool minimized, bool maximized, const WindowRect& normalRect);

// Design stamps of the scaled windows, and how many controls each scales.
extern const char kBrowseTablnkStamp[];
extern const char kUpdateTablnkStamp[];
const int kBrowseTablnkControls = 14;
const int kUpdateTablnkControls = 17;
const int kMaxScaledControls = 32;

// A control's place as fractions of the window's client width and height, in
// thousandths (0..999).
struct ControlFraction {
  int x;
  int y;
  int width;
  int height;
};

// Size of a "CtrlSize" value: 12 digits and the terminating zero.
const size_t kCtrlSizeText = 13;

// The fraction of one control: its rectangle within a client area of the given
// size, each coordinate times 1000 divided by the matching client dimension,
// clamped to 0..999. A zero client dimension gives zero fractions.
ControlFraction FractionOf(const WindowRect& control, long clientWidth, long clientHeight);

// Writes the 12-digit "CtrlSize" text of a fraction into out (capacity
// kCtrlSizeText or more). Returns false when out is too small.
bool FormatCtrlSize(const ControlFraction& f, char* out, size_t capacity);

// Splits a "CtrlSize" text into its four three-digit numbers. Returns false,
// leaving *f untouched, for anything but exactly 12 digits (trailing spaces
// allowed).
bool ParseCtrlSize(const char* text, ControlFraction* f);

// The control's rectangle for a client area of the given size.
WindowRect PlaceControl(const ControlFraction& f, long clientWidth, long clientHeight);

// True when the stored "WindowScaled" text equals the design stamp (trailing
// spaces not significant); a missing text (null) never matches.
bool StampMatches(const char* stored, const char* designStamp);

// The upgrade's percentage: bytesRead * 100 / fileSize, capped at 100; an
// empty old file counts as complete.
int UpgradePercent(uint64_t bytesRead, uint64_t fileSize);

// "N% Completed" into out; returns false when out is too small.
bool FormatPercent(int percent, char* out, size_t capacity);

#endif
