// TXSETUP (Windows): the one dialog procedure every page and message dialog runs on.
// It keeps a stack of open dialogs and hands each message to its dialog object's
// operations, in this slot order: init-dialog, colour, command, palette-changed,
// query-new-palette, accept-page, cancel-page, paint, draw-item, measure-item.
#ifndef SETUP_SETUP_DIALOGS_H
#define SETUP_SETUP_DIALOGS_H

#include <windows.h>

class SetupDialog {
public:
  explicit SetupDialog(int templateId);
  virtual ~SetupDialog() {}

  // Runs the dialog modally; returns the identifier that ended it.
  int run(HWND owner);
  // Opens it modeless; the caller destroys it.
  HWND open(HWND owner);

  virtual BOOL initDialog(HWND w);
  virtual INT_PTR colour(HWND w, UINT message, HDC dc);
  virtual BOOL command(HWND w, int id, int code);
  virtual BOOL paletteChanged(HWND w, HWND changer);
  virtual BOOL queryNewPalette(HWND w);
  virtual BOOL acceptPage(HWND w, int id);  // false keeps the page open
  virtual BOOL cancelPage(HWND w);          // false keeps it open
  virtual BOOL paint(HWND w);
  virtual BOOL drawItem(HWND w, DRAWITEMSTRUCT *item);
  virtual BOOL measureItem(HWND w, MEASUREITEMSTRUCT *item);

  int templateId;
  const char *upperText;  // NULL: keep the template's text
  const char *lowerText;
  const int *disabled;  // controls to disable, ended by 0
  int defaultButton;    // 0: none
  HWND hwnd;
  int hasPicture;
  RECT pictureRect;  // where the side picture goes, in client coordinates
};

INT_PTR CALLBACK setupDialogProc(HWND w, UINT message, WPARAM wp, LPARAM lp);

#endif
