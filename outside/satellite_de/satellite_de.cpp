// TXDE.DLL, the German language library of the Tessavox setup and player: its
// resources (satellite_de.rc) carry the German texts, pages and pictures, and its two
// exports supply the fonts those texts are shown in. German texts run longer than
// English ones, so the pages' sans-serif font is made in a narrow face; any other face
// asked for is made as asked.
#include <windows.h>

#include <string.h>
#include <strings.h>

namespace {

const char kNarrowFace[] = "Liberation Sans Narrow";

// Faces the pages ask for that the narrow face stands in for.
bool isPageFace(const char *face) {
  static const char *const kPageFaces[] = {"MS Sans Serif", "MS Shell Dlg", "Arial", "Helvetica"};
  if (!face) return true;
  for (const char *f : kPageFaces)
    if (strcasecmp(f, face) == 0) return true;
  return false;
}

// The narrow stand-in for the variable-pitch stock fonts, made once and, like a stock
// object, never deleted: the program may hold it after this library is freed.
HFONT g_stockFont;

}  // namespace

extern "C" {

HFONT WINAPI Create_Font(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                         DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outputPrecision, DWORD clipPrecision,
                         DWORD quality, DWORD pitchAndFamily, LPCSTR faceName) {
  if (isPageFace(faceName)) faceName = kNarrowFace;
  return CreateFontA(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                     outputPrecision, clipPrecision, quality, pitchAndFamily, faceName);
}

HGDIOBJ WINAPI Load_Font(int index) {
  if (index != SYSTEM_FONT && index != ANSI_VAR_FONT && index != DEFAULT_GUI_FONT) return GetStockObject(index);
  if (!g_stockFont)
    g_stockFont = CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                              DEFAULT_QUALITY, VARIABLE_PITCH | FF_SWISS, kNarrowFace);
  return g_stockFont ? (HGDIOBJ)g_stockFont : GetStockObject(index);
}

}  // extern "C"
