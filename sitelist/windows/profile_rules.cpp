// Tabulink's settings rules: version check, window position plans, control
// scaling arithmetic and the upgrade percentage (see profile_rules.h).
#include "sitelist/windows/profile_rules.h"

#include <cstdio>
#include <cstring>

const char kTablnkVersion[] = "1.5";
const char kBrowseTablnkStamp[] = "714333785850";
const char kUpdateTablnkStamp[] = "714334612808";

static_assert(sizeof kBrowseTablnkStamp == kCtrlSizeText, "design stamps have 12 digits");
static_assert(sizeof kUpdateTablnkStamp == kCtrlSizeText, "design stamps have 12 digits");
static_assert(kBrowseTablnkControls <= kMaxScaledControls, "scaled control table too small");
static_assert(kUpdateTablnkControls <= kMaxScaledControls, "scaled control table too small");

namespace {

const long kVersionCap = 999999999;
const long kProfileIntLimit = 1000000;
const int kFractionScale = 1000;
const int kFractionMax = 999;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int ClampFraction(long long v) {
  if (v < 0) return 0;
  if (v > kFractionMax) return kFractionMax;
  return (int)v;
}

// Length of text without trailing spaces.
size_t TrimmedLength(const char* text) {
  size_t n = strlen(text);
  while (n > 0 && text[n - 1] == ' ') --n;
  return n;
}

}  // namespace

long VersionThousandths(const char* text) {
  if (text == nullptr) return 0;
  while (*text == ' ' || *text == '\t') ++text;
  long whole = 0;
  while (IsDigit(*text)) {
    whole = whole * 10 + (*text - '0');
    if (whole > kVersionCap / 1000) return kVersionCap;
    ++text;
  }
  long fraction = 0;
  if (*text == '.') {
    ++text;
    long scale = 100;
    while (IsDigit(*text)) {
      fraction += (*text - '0') * scale;
      scale /= 10;
      ++text;
    }
  }
  return whole * 1000 + fraction;
}

bool NeedsUpgradeCheck(const char* storedVersion) {
  return VersionThousandths(storedVersion) < kTablnkVersionThousandths;
}

bool ParseProfileInt(const char* text, long* value) {
  *value = 0;
  if (text == nullptr) return false;
  while (*text == ' ' || *text == '\t') ++text;
  bool negative = false;
  if (*text == '-' || *text == '+') {
    negative = *text == '-';
    ++text;
  }
  if (!IsDigit(*text)) return false;
  long v = 0;
  while (IsDigit(*text)) {
    v = v * 10 + (*text - '0');
    if (v > kProfileIntLimit) return false;
    ++text;
  }
  while (*text == ' ' || *text == '\t') ++text;
  if (*text != '\0') return false;
  *value = negative ? -v : v;
  return true;
}

RestorePlan PlanRestore(const StoredPosition& stored, bool resizable, bool alreadyMaximized) {
  RestorePlan plan = {};
  plan.maximize = stored.maximize != nullptr && (stored.maximize[0] == 'Y' || stored.maximize[0] == 'y') &&
                  (stored.maximize[1] == 'E' || stored.maximize[1] == 'e') &&
                  (stored.maximize[2] == 'S' || stored.maximize[2] == 's') && TrimmedLength(stored.maximize) == 3;
  long x = 0;
  long y = 0;
  if (alreadyMaximized || !ParseProfileInt(stored.xPosit, &x) || x == 0) return plan;
  if (!ParseProfileInt(stored.yPosit, &y) || y == 0) return plan;
  long w = 0;
  long h = 0;
  if (resizable) {
    if (!ParseProfileInt(stored.width, &w) || w <= 0) return plan;
    if (!ParseProfileInt(stored.height, &h) || h <= 0) return plan;
    plan.resize = true;
  }
  plan.move = true;
  plan.rect = WindowRect{x, y, w, h};
  return plan;
}

SavePlan PlanSave(bool minimized, bool maximized, const WindowRect& normalRect) {
  SavePlan plan = {};
  if (minimized) return plan;
  plan.writeAnything = true;
  plan.maximize = maximized ? "Yes" : "No";
  plan.rect = normalRect;
  return plan;
}

ControlFraction FractionOf(const WindowRect& control, long clientWidth, long clientHeight) {
  ControlFraction f = {};
  if (clientWidth > 0) {
    f.x = ClampFraction((long long)control.x * kFractionScale / clientWidth);
    f.width = ClampFraction((long long)control.width * kFractionScale / clientWidth);
  }
  if (clientHeight > 0) {
    f.y = ClampFraction((long long)control.y * kFractionScale / clientHeight);
    f.height = ClampFraction((long long)control.height * kFractionScale / clientHeight);
  }
  return f;
}

bool FormatCtrlSize(const ControlFraction& f, char* out, size_t capacity) {
  if (out == nullptr || capacity < kCtrlSizeText) return false;
  int n = snprintf(out, capacity, "%03d%03d%03d%03d", ClampFraction(f.x), ClampFraction(f.y), ClampFraction(f.width),
                   ClampFraction(f.height));
  return n == (int)kCtrlSizeText - 1;
}

bool ParseCtrlSize(const char* text, ControlFraction* f) {
  if (text == nullptr || TrimmedLength(text) != kCtrlSizeText - 1) return false;
  int parts[4];
  for (int p = 0; p < 4; ++p) {
    int v = 0;
    for (int d = 0; d < 3; ++d) {
      char c = text[p * 3 + d];
      if (!IsDigit(c)) return false;
      v = v * 10 + (c - '0');
    }
    parts[p] = v;
  }
  *f = ControlFraction{parts[0], parts[1], parts[2], parts[3]};
  return true;
}

WindowRect PlaceControl(const ControlFraction& f, long clientWidth, long clientHeight) {
  WindowRect r;
  r.x = (long)((long long)f.x * clientWidth / kFractionScale);
  r.y = (long)((long long)f.y * clientHeight / kFractionScale);
  r.width = (long)((long long)f.width * clientWidth / kFractionScale);
  r.height = (long)((long long)f.height * clientHeight / kFractionScale);
  return r;
}

bool StampMatches(const char* stored, const char* designStamp) {
  if (stored == nullptr) return false;
  size_t n = TrimmedLength(stored);
  return n == strlen(designStamp) && strncmp(stored, designStamp, n) == 0;
}

int UpgradePercent(uint64_t bytesRead, uint64_t fileSize) {
  if (fileSize == 0) return 100;
  if (bytesRead >= fileSize) return 100;
  if (bytesRead > UINT64_MAX / 100) return (int)(bytesRead / (fileSize / 100));
  return (int)(bytesRead * 100 / fileSize);
}

bool FormatPercent(int percent, char* out, size_t capacity) {
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  int n = snprintf(out, capacity, "%d%% Completed", percent);
  return n > 0 && (size_t)n < capacity;
}
