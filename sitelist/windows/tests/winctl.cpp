// winctl: a test helper that lists, reads and drives the windows of another
// process under Wine. It reads one command a line from standard input (fields
// separated by tabs) and answers each with one line of JSON, so a test script
// keeps one copy running. Commands:
//   list                         top-level windows: hwnd, class, title, pid, visible
//   find CLASS TITLE             hwnd of the first top-level window with that class
//                                and title ("" matches any), or 0
//   describe HWND                state, rectangles and every descendant control
//   boxes                        visible top-level dialogs (#32770) with their texts
//                                and buttons
//   click HWND TEXT              press the descendant button whose text, without
//                                '&', is TEXT (posts its WM_COMMAND)
//   command HWND ID              post WM_COMMAND ID (a menu choice)
//   close HWND                   post WM_CLOSE
//   move HWND X Y W H            move and size the window
//   show HWND min|max|restore    ShowWindow with that command
//   keymenu HWND LETTER          open the menu-bar pop-up with that mnemonic
//   key HWND VK                  post a key (virtual-key number) to the window's thread,
//                                where an open menu reads it (27 Escape, 39 Right)
//   child HWND ID                hwnd of the descendant control with that id, or 0
//   text HWND                    the window's text
//   type HWND TEXT               focuses the control and types TEXT into it (replacing
//                                what it holds), a WM_CHAR per character
//   focus HWND                   gives the control the keyboard focus (the one that had
//                                it sees it leave)
//   rows HWND                    a list-view's rows (every column's text) and its selection
//   selectrow HWND N             highlights row N of a list-view (its owner is notified)
//   comboitems HWND              a combo box's items and selection (the control itself)
//   choose HWND TEXT             selects TEXT in a drop-down list as a user's choice does
//                                (the owner is told CBN_SELCHANGE and CBN_SELENDOK)
//   tabclick HWND N              clicks tab N of a tab control with the mouse
//   rclick HWND X Y              right-clicks the window at client point X,Y
//   keydown HWND VK              posts a key press (down and up) to the window itself
//   scroll HWND CODE POS         posts a vertical scroll bar's request (SB_ code, thumb
//                                position) from scroll bar HWND to its parent
//   scrollpos HWND               a scroll bar control's thumb position
//   radio HWND                   whether a radio button or check box is checked
//   bmclick HWND                 clicks a button control (the control itself) as the mouse
//                                does (BM_CLICK): a radio button checks itself and tells its owner
//   findchild PARENT CLASS TITLE hwnd of the first descendant of PARENT with that class
//                                and title ("" matches any), or 0
//   settext HWND ID TEXT         set the text of control ID of dialog HWND (WM_SETTEXT)
//   check HWND ID 0|1            set the check of button ID of dialog HWND
//   listbox HWND                 a list box's count, selection, top line and selected text
//   sbtext HWND PART             the text of one part of a status bar
//   press HWND ID                click button ID of dialog HWND as the mouse would (BM_CLICK:
//                                a radio button or check box changes, then notifies)
//   combo HWND ID                a combo box's text, selection and items
//   lbitems HWND                 a list box's items: their texts and whether each is selected
//   lbclick HWND N               clicks item N of a list box with the mouse (its owner is notified)
//   lbdblclick HWND N            double-clicks item N of a list box with the mouse (its owner is
//                                notified of the selection, then of the double click)
//   send HWND MSG WPARAM LPARAM  send a message with numeric parameters; answers
//                                its result
//   sendtext HWND MSG WPARAM TEXT  send a message whose lParam points at TEXT, copied
//                                into the receiving process first (as a sender in
//                                another process must); answers its result
//   style HWND                   the window's style and extended style
//   textwidth FACE HEIGHT WEIGHT TEXT  the width in pixels of TEXT in the font CreateFontA
//                                makes of that face, height and weight (to compare with
//                                what another program's control shows it in)
//   textmetrics FACE HEIGHT WEIGHT TEXT  the width of TEXT and the line height (height
//                                plus external leading) in that font; FACE "stock" takes
//                                the stock object numbered HEIGHT instead
//   quit                         end
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const size_t kLine = 1024;
const size_t kText = 512;
const int kMaxFields = 8;

void Ok();
void Fail(const char* why);

// Appends text as a JSON string literal.
void PutJsonString(const char* text) {
  putchar('"');
  for (const unsigned char* p = (const unsigned char*)text; *p; ++p) {
    switch (*p) {
      case '"': fputs("\\\"", stdout); break;
      case '\\': fputs("\\\\", stdout); break;
      case '\n': fputs("\\n", stdout); break;
      case '\r': fputs("\\r", stdout); break;
      case '\t': fputs("\\t", stdout); break;
      default:
        if (*p < 0x20 || *p >= 0x80) printf("\\u%04x", *p);  // Windows-1252 bytes as code points
        else putchar(*p);
    }
  }
  putchar('"');
}

HWND ParseHwnd(const char* text) { return (HWND)(intptr_t)strtoll(text, nullptr, 0); }

void WindowText(HWND w, char* out, size_t capacity) {
  out[0] = '\0';
  // WM_GETTEXT works across processes for every window class, unlike GetWindowText.
  SendMessageTimeoutA(w, WM_GETTEXT, capacity, (LPARAM)out, SMTO_ABORTIFHUNG, 5000, nullptr);
  out[capacity - 1] = '\0';
}

void StripAmpersands(const char* in, char* out, size_t capacity) {
  size_t n = 0;
  for (; *in && n + 1 < capacity; ++in) {
    if (*in != '&') out[n++] = *in;
  }
  out[n] = '\0';
}

void PutRect(const RECT& r) { printf("[%ld,%ld,%ld,%ld]", r.left, r.top, r.right - r.left, r.bottom - r.top); }

struct FindData {
  const char* cls;
  const char* title;
  HWND found;
  bool first;
};

BOOL CALLBACK ListProc(HWND w, LPARAM lp) {
  FindData* d = (FindData*)lp;
  char cls[128], title[kText];
  GetClassNameA(w, cls, sizeof cls);
  WindowText(w, title, sizeof title);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  printf("%s{\"hwnd\":%lld,\"class\":", d->first ? "" : ",", (long long)(intptr_t)w);
  PutJsonString(cls);
  printf(",\"title\":");
  PutJsonString(title);
  printf(",\"pid\":%lu,\"visible\":%s}", (unsigned long)pid, IsWindowVisible(w) ? "true" : "false");
  d->first = false;
  return TRUE;
}

BOOL CALLBACK FindProc(HWND w, LPARAM lp) {
  FindData* d = (FindData*)lp;
  char cls[128], title[kText];
  GetClassNameA(w, cls, sizeof cls);
  WindowText(w, title, sizeof title);
  if ((d->cls[0] == '\0' || strcmp(cls, d->cls) == 0) && (d->title[0] == '\0' || strcmp(title, d->title) == 0)) {
    d->found = w;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK DescribeChild(HWND w, LPARAM lp) {
  bool* first = (bool*)lp;
  char cls[128], text[kText];
  GetClassNameA(w, cls, sizeof cls);
  WindowText(w, text, sizeof text);
  RECT r;
  GetWindowRect(w, &r);
  printf("%s{\"hwnd\":%lld,\"id\":%ld,\"class\":", *first ? "" : ",", (long long)(intptr_t)w, (long)GetDlgCtrlID(w));
  PutJsonString(cls);
  printf(",\"text\":");
  PutJsonString(text);
  printf(",\"visible\":%s,\"enabled\":%s,\"rect\":", IsWindowVisible(w) ? "true" : "false",
         IsWindowEnabled(w) ? "true" : "false");
  PutRect(r);
  printf(",\"parent\":%lld}", (long long)(intptr_t)GetParent(w));
  *first = false;
  return TRUE;
}

void Describe(HWND w) {
  if (!IsWindow(w)) {
    printf("{\"exists\":false}\n");
    return;
  }
  char cls[128], title[kText];
  GetClassNameA(w, cls, sizeof cls);
  WindowText(w, title, sizeof title);
  RECT r, c;
  GetWindowRect(w, &r);
  GetClientRect(w, &c);
  WINDOWPLACEMENT wp = {};
  wp.length = sizeof wp;
  GetWindowPlacement(w, &wp);
  printf("{\"exists\":true,\"class\":");
  PutJsonString(cls);
  printf(",\"title\":");
  PutJsonString(title);
  printf(",\"visible\":%s,\"enabled\":%s,\"iconic\":%s,\"zoomed\":%s,\"rect\":", IsWindowVisible(w) ? "true" : "false",
         IsWindowEnabled(w) ? "true" : "false", IsIconic(w) ? "true" : "false", IsZoomed(w) ? "true" : "false");
  PutRect(r);
  printf(",\"client\":[%ld,%ld],\"normal\":", c.right, c.bottom);
  PutRect(wp.rcNormalPosition);
  printf(",\"owner\":%lld,\"children\":[", (long long)(intptr_t)GetWindow(w, GW_OWNER));
  bool first = true;
  EnumChildWindows(w, DescribeChild, (LPARAM)&first);
  printf("]}\n");
}

struct BoxData {
  bool first;
};

BOOL CALLBACK BoxChild(HWND w, LPARAM lp) {
  // Two passes print texts then buttons; lp selects which.
  int* pass = (int*)lp;
  char cls[64], text[kText];
  GetClassNameA(w, cls, sizeof cls);
  if (!IsWindowVisible(w)) return TRUE;
  bool isButton = _stricmp(cls, "Button") == 0;
  bool isStatic = _stricmp(cls, "Static") == 0;
  if ((pass[0] == 0 && !isStatic) || (pass[0] == 1 && !isButton)) return TRUE;
  WindowText(w, text, sizeof text);
  if (text[0] == '\0') return TRUE;
  if (pass[1]) putchar(',');
  PutJsonString(text);
  pass[1] = 1;
  return TRUE;
}

BOOL CALLBACK BoxProc(HWND w, LPARAM lp) {
  BoxData* d = (BoxData*)lp;
  char cls[64], title[kText];
  GetClassNameA(w, cls, sizeof cls);
  if (strcmp(cls, "#32770") != 0 || !IsWindowVisible(w)) return TRUE;
  WindowText(w, title, sizeof title);
  printf("%s{\"hwnd\":%lld,\"title\":", d->first ? "" : ",", (long long)(intptr_t)w);
  PutJsonString(title);
  printf(",\"texts\":[");
  int pass[2] = {0, 0};
  EnumChildWindows(w, BoxChild, (LPARAM)pass);
  printf("],\"buttons\":[");
  pass[0] = 1;
  pass[1] = 0;
  EnumChildWindows(w, BoxChild, (LPARAM)pass);
  printf("]}");
  d->first = false;
  return TRUE;
}

struct ClickData {
  const char* want;
  HWND found;
};

BOOL CALLBACK ClickProc(HWND w, LPARAM lp) {
  ClickData* d = (ClickData*)lp;
  char cls[64], text[kText], bare[kText];
  GetClassNameA(w, cls, sizeof cls);
  if (_stricmp(cls, "Button") != 0) return TRUE;
  WindowText(w, text, sizeof text);
  StripAmpersands(text, bare, sizeof bare);
  if (strcmp(bare, d->want) == 0 || strcmp(text, d->want) == 0) {
    d->found = w;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK FindChildProc(HWND w, LPARAM lp) {
  FindData* d = (FindData*)lp;
  char cls[128], title[kText];
  GetClassNameA(w, cls, sizeof cls);
  WindowText(w, title, sizeof title);
  if ((d->cls[0] == '\0' || strcmp(cls, d->cls) == 0) && (d->title[0] == '\0' || strcmp(title, d->title) == 0)) {
    d->found = w;
    return FALSE;
  }
  return TRUE;
}

// Sends a message whose lParam is a text buffer to a window of another process:
// the buffer is allocated in that process and read back. False on failure.
bool SendForText(HWND w, UINT msg, WPARAM wParam, char* out, size_t capacity) {
  out[0] = '\0';
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (process == nullptr) return false;
  void* remote = VirtualAllocEx(process, nullptr, capacity, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  bool ok = false;
  if (remote != nullptr) {
    DWORD_PTR result = 0;
    SIZE_T got = 0;
    if (SendMessageTimeoutA(w, msg, wParam, (LPARAM)remote, SMTO_ABORTIFHUNG, 5000, &result) &&
        ReadProcessMemory(process, remote, out, capacity, &got)) {
      out[capacity - 1] = '\0';
      ok = true;
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  CloseHandle(process);
  return ok;
}

void Ok() { printf("{\"ok\":true}\n"); }
void Fail(const char* why) {
  printf("{\"ok\":false,\"error\":");
  PutJsonString(why);
  printf("}\n");
}

// ---- Controls of another process --------------------------------------------------------

struct ChildData {
  int id;
  HWND found;
};

BOOL CALLBACK ChildProc(HWND w, LPARAM lp) {
  ChildData* d = (ChildData*)lp;
  if (GetDlgCtrlID(w) == d->id) {
    d->found = w;
    return FALSE;
  }
  return TRUE;
}

// Runs fn with the target window's thread input attached to ours, so that focus
// can be given to a window of another thread.
bool WithInputOf(HWND w, void (*fn)(HWND)) {
  DWORD target = GetWindowThreadProcessId(w, nullptr);
  DWORD me = GetCurrentThreadId();
  bool attached = AttachThreadInput(me, target, TRUE) != 0;
  fn(w);
  if (attached) AttachThreadInput(me, target, FALSE);
  return attached;
}

void GiveFocus(HWND w) { SetFocus(w); }

// A block of memory in the process of a window, for messages whose structures
// the system does not carry across processes (list-views, tab controls).
struct Remote {
  HANDLE process;
  char* base;
  size_t size;
};

bool RemoteOpen(HWND w, size_t size, Remote* r) {
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  r->process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  r->size = size;
  r->base = nullptr;
  if (r->process == nullptr) return false;
  r->base = (char*)VirtualAllocEx(r->process, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
  return r->base != nullptr;
}

void RemoteClose(Remote* r) {
  if (r->base != nullptr) VirtualFreeEx(r->process, r->base, 0, MEM_RELEASE);
  if (r->process != nullptr) CloseHandle(r->process);
}

bool RemotePut(Remote* r, size_t at, const void* data, size_t n) {
  return WriteProcessMemory(r->process, r->base + at, data, n, nullptr) != 0;
}

bool RemoteGet(Remote* r, size_t at, void* data, size_t n) {
  return ReadProcessMemory(r->process, r->base + at, data, n, nullptr) != 0;
}

void Rows(HWND list) {
  Remote r;
  if (!RemoteOpen(list, sizeof(LVITEMA) + kText, &r)) {
    RemoteClose(&r);
    Fail("no access to the list");
    return;
  }
  int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
  int columns = (int)SendMessageA((HWND)SendMessageA(list, LVM_GETHEADER, 0, 0), HDM_GETITEMCOUNT, 0, 0);
  int selected = (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
  printf("{\"ok\":true,\"selected\":%d,\"rows\":[", selected);
  for (int i = 0; i < count; ++i) {
    printf("%s[", i ? "," : "");
    for (int c = 0; c < columns; ++c) {
      LVITEMA item = {};
      item.iSubItem = c;
      item.pszText = r.base + sizeof(LVITEMA);
      item.cchTextMax = (int)kText;
      char text[kText] = "";
      RemotePut(&r, 0, &item, sizeof item);
      SendMessageA(list, LVM_GETITEMTEXTA, (WPARAM)i, (LPARAM)r.base);
      RemoteGet(&r, sizeof(LVITEMA), text, sizeof text);
      text[kText - 1] = '\0';
      if (c) putchar(',');
      PutJsonString(text);
    }
    putchar(']');
  }
  printf("]}\n");
  RemoteClose(&r);
}

void SelectRow(HWND list, int row) {
  Remote r;
  if (!RemoteOpen(list, sizeof(LVITEMA), &r)) {
    RemoteClose(&r);
    Fail("no access to the list");
    return;
  }
  LVITEMA item = {};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  RemotePut(&r, 0, &item, sizeof item);
  LRESULT done = SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)row, (LPARAM)r.base);
  RemoteClose(&r);
  if (done) Ok();
  else Fail("row not set");
}

void TabClick(HWND tabs, int index) {
  Remote r;
  if (!RemoteOpen(tabs, sizeof(RECT), &r)) {
    RemoteClose(&r);
    Fail("no access to the tab control");
    return;
  }
  RECT rect = {};
  LRESULT got = SendMessageA(tabs, TCM_GETITEMRECT, (WPARAM)index, (LPARAM)r.base);
  RemoteGet(&r, 0, &rect, sizeof rect);
  RemoteClose(&r);
  if (!got) {
    Fail("no such tab");
    return;
  }
  LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  PostMessageA(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(tabs, WM_LBUTTONUP, 0, at);
  Ok();
}

void Combo(HWND combo) {
  int count = (int)SendMessageA(combo, CB_GETCOUNT, 0, 0);
  int selected = (int)SendMessageA(combo, CB_GETCURSEL, 0, 0);
  printf("{\"ok\":true,\"selected\":%d,\"items\":[", selected);
  for (int i = 0; i < count; ++i) {
    // Across processes Wine carries the item's text in wide characters.
    wchar_t wide[kText] = L"";
    char text[kText] = "";
    if (SendMessageW(combo, CB_GETLBTEXTLEN, (WPARAM)i, 0) < (LRESULT)kText) {
      SendMessageW(combo, CB_GETLBTEXT, (WPARAM)i, (LPARAM)wide);
      WideCharToMultiByte(CP_ACP, 0, wide, -1, text, (int)sizeof text, nullptr, nullptr);
    }
    if (i) putchar(',');
    PutJsonString(text);
  }
  printf("]}\n");
}

void Choose(HWND combo, const char* text) {
  LRESULT at = SendMessageA(combo, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)text);
  if (at == CB_ERR) {
    Fail("no such item");
    return;
  }
  SendMessageA(combo, CB_SETCURSEL, (WPARAM)at, 0);
  HWND owner = GetParent(combo);
  WPARAM id = (WPARAM)GetDlgCtrlID(combo);
  PostMessageA(owner, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), (LPARAM)combo);
  PostMessageA(owner, WM_COMMAND, MAKEWPARAM(id, CBN_SELENDOK), (LPARAM)combo);
  Ok();
}

void Type(HWND w, const char* text) {
  WithInputOf(w, GiveFocus);
  SendMessageA(w, EM_SETSEL, 0, -1);
  SendMessageA(w, WM_CLEAR, 0, 0);
  for (const unsigned char* p = (const unsigned char*)text; *p; ++p) SendMessageA(w, WM_CHAR, *p, 1);
  Ok();
}


int ShowCommand(const char* name) {
  if (strcmp(name, "min") == 0) return SW_MINIMIZE;
  if (strcmp(name, "max") == 0) return SW_MAXIMIZE;
  if (strcmp(name, "restore") == 0) return SW_RESTORE;
  return -1;
}

// Runs one command; returns false for "quit".
bool Run(char** f, int n) {
  const char* cmd = f[0];
  if (strcmp(cmd, "quit") == 0) return false;
  if (strcmp(cmd, "list") == 0) {
    FindData d = {"", "", nullptr, true};
    putchar('[');
    EnumWindows(ListProc, (LPARAM)&d);
    printf("]\n");
  } else if (strcmp(cmd, "find") == 0 && n >= 3) {
    FindData d = {f[1], f[2], nullptr, true};
    EnumWindows(FindProc, (LPARAM)&d);
    printf("{\"hwnd\":%lld}\n", (long long)(intptr_t)d.found);
  } else if (strcmp(cmd, "describe") == 0 && n >= 2) {
    Describe(ParseHwnd(f[1]));
  } else if (strcmp(cmd, "boxes") == 0) {
    BoxData d = {true};
    putchar('[');
    EnumWindows(BoxProc, (LPARAM)&d);
    printf("]\n");
  } else if (strcmp(cmd, "click") == 0 && n >= 3) {
    ClickData d = {f[2], nullptr};
    HWND w = ParseHwnd(f[1]);
    EnumChildWindows(w, ClickProc, (LPARAM)&d);
    if (d.found == nullptr) {
      Fail("no such button");
    } else {
      PostMessageA(GetParent(d.found), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(d.found), BN_CLICKED), (LPARAM)d.found);
      Ok();
    }
  } else if (strcmp(cmd, "awaitclick") == 0 && n >= 5) {
    // Waits here, looking every millisecond, for a top-level window of that class and
    // title, and clicks its button at once: for windows that may last only a moment.
    DWORD end = GetTickCount() + (DWORD)atoi(f[4]);
    FindData d = {f[1], f[2], nullptr, true};
    for (;;) {
      EnumWindows(FindProc, (LPARAM)&d);
      if (d.found != nullptr || (LONG)(GetTickCount() - end) >= 0) break;
      Sleep(1);
    }
    ClickData c = {f[3], nullptr};
    if (d.found != nullptr) EnumChildWindows(d.found, ClickProc, (LPARAM)&c);
    if (c.found == nullptr) {
      Fail(d.found == nullptr ? "no such window" : "no such button");
    } else {
      PostMessageA(GetParent(c.found), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(c.found), BN_CLICKED), (LPARAM)c.found);
      printf("{\"ok\":true,\"hwnd\":%lld}\n", (long long)(intptr_t)d.found);
    }
  } else if (strcmp(cmd, "command") == 0 && n >= 3) {
    if (PostMessageA(ParseHwnd(f[1]), WM_COMMAND, MAKEWPARAM(atoi(f[2]), 0), 0)) Ok();
    else Fail("post failed");
  } else if (strcmp(cmd, "close") == 0 && n >= 2) {
    if (PostMessageA(ParseHwnd(f[1]), WM_CLOSE, 0, 0)) Ok();
    else Fail("post failed");
  } else if (strcmp(cmd, "move") == 0 && n >= 6) {
    if (SetWindowPos(ParseHwnd(f[1]), nullptr, atoi(f[2]), atoi(f[3]), atoi(f[4]), atoi(f[5]),
                     SWP_NOZORDER | SWP_NOACTIVATE))
      Ok();
    else Fail("move failed");
  } else if (strcmp(cmd, "show") == 0 && n >= 3) {
    int sw = ShowCommand(f[2]);
    if (sw < 0) Fail("unknown show command");
    else {
      ShowWindowAsync(ParseHwnd(f[1]), sw);
      Ok();
    }
  } else if (strcmp(cmd, "keymenu") == 0 && n >= 3) {
    if (PostMessageA(ParseHwnd(f[1]), WM_SYSCOMMAND, SC_KEYMENU, (LPARAM)(unsigned char)f[2][0])) Ok();
    else Fail("post failed");
  } else if (strcmp(cmd, "key") == 0 && n >= 3) {
    DWORD thread = GetWindowThreadProcessId(ParseHwnd(f[1]), nullptr);
    WPARAM vk = (WPARAM)atoi(f[2]);
    if (PostThreadMessageA(thread, WM_KEYDOWN, vk, 1) && PostThreadMessageA(thread, WM_KEYUP, vk, 0xC0000001)) Ok();
    else Fail("post failed");
  } else if (strcmp(cmd, "child") == 0 && n >= 3) {
    ChildData d = {atoi(f[2]), nullptr};
    EnumChildWindows(ParseHwnd(f[1]), ChildProc, (LPARAM)&d);
    printf("{\"hwnd\":%lld}\n", (long long)(intptr_t)d.found);
  } else if (strcmp(cmd, "text") == 0 && n >= 2) {
    char text[4096];
    WindowText(ParseHwnd(f[1]), text, sizeof text);
    printf("{\"text\":");
    PutJsonString(text);
    printf("}\n");
  } else if (strcmp(cmd, "type") == 0 && n >= 3) {
    Type(ParseHwnd(f[1]), f[2]);
  } else if (strcmp(cmd, "focus") == 0 && n >= 2) {
    WithInputOf(ParseHwnd(f[1]), GiveFocus);
    Ok();
  } else if (strcmp(cmd, "rows") == 0 && n >= 2) {
    Rows(ParseHwnd(f[1]));
  } else if (strcmp(cmd, "selectrow") == 0 && n >= 3) {
    SelectRow(ParseHwnd(f[1]), atoi(f[2]));
  } else if (strcmp(cmd, "comboitems") == 0 && n >= 2) {
    Combo(ParseHwnd(f[1]));
  } else if (strcmp(cmd, "choose") == 0 && n >= 3) {
    Choose(ParseHwnd(f[1]), f[2]);
  } else if (strcmp(cmd, "tabclick") == 0 && n >= 3) {
    TabClick(ParseHwnd(f[1]), atoi(f[2]));
  } else if (strcmp(cmd, "rclick") == 0 && n >= 4) {
    HWND w = ParseHwnd(f[1]);
    LPARAM at = MAKELPARAM(atoi(f[2]), atoi(f[3]));
    PostMessageA(w, WM_RBUTTONDOWN, MK_RBUTTON, at);
    PostMessageA(w, WM_RBUTTONUP, 0, at);
    Ok();
  } else if (strcmp(cmd, "keydown") == 0 && n >= 3) {
    HWND w = ParseHwnd(f[1]);
    WPARAM vk = (WPARAM)atoi(f[2]);
    if (PostMessageA(w, WM_KEYDOWN, vk, 1) && PostMessageA(w, WM_KEYUP, vk, 0xC0000001)) Ok();
    else Fail("post failed");
  } else if (strcmp(cmd, "scroll") == 0 && n >= 4) {
    HWND bar = ParseHwnd(f[1]);
    if (PostMessageA(GetParent(bar), WM_VSCROLL, MAKEWPARAM(atoi(f[2]), atoi(f[3])), (LPARAM)bar)) Ok();
    else Fail("post failed");
  } else if (strcmp(cmd, "scrollpos") == 0 && n >= 2) {
    printf("{\"pos\":%d}\n", (int)SendMessageA(ParseHwnd(f[1]), SBM_GETPOS, 0, 0));
  } else if (strcmp(cmd, "bmclick") == 0 && n >= 2) {
    if (PostMessageA(ParseHwnd(f[1]), BM_CLICK, 0, 0)) Ok();
    else Fail("post failed");
  } else if (strcmp(cmd, "radio") == 0 && n >= 2) {
    printf("{\"checked\":%s}\n", SendMessageA(ParseHwnd(f[1]), BM_GETCHECK, 0, 0) == BST_CHECKED ? "true" : "false");
  } else if (strcmp(cmd, "findchild") == 0 && n >= 4) {
    FindData d = {f[2], f[3], nullptr, true};
    EnumChildWindows(ParseHwnd(f[1]), FindChildProc, (LPARAM)&d);
    printf("{\"hwnd\":%lld}\n", (long long)(intptr_t)d.found);
  } else if (strcmp(cmd, "settext") == 0 && n >= 4) {
    HWND item = GetDlgItem(ParseHwnd(f[1]), atoi(f[2]));
    DWORD_PTR result = 0;
    if (item != nullptr && SendMessageTimeoutA(item, WM_SETTEXT, 0, (LPARAM)f[3], SMTO_ABORTIFHUNG, 5000, &result))
      Ok();
    else Fail("no such control");
  } else if (strcmp(cmd, "check") == 0 && n >= 4) {
    HWND item = GetDlgItem(ParseHwnd(f[1]), atoi(f[2]));
    DWORD_PTR result = 0;
    if (item != nullptr && SendMessageTimeoutA(item, BM_SETCHECK, atoi(f[3]) ? BST_CHECKED : BST_UNCHECKED, 0,
                                               SMTO_ABORTIFHUNG, 5000, &result))
      Ok();
    else Fail("no such control");
  } else if (strcmp(cmd, "listbox") == 0 && n >= 2) {
    HWND w = ParseHwnd(f[1]);
    LRESULT count = SendMessageA(w, LB_GETCOUNT, 0, 0);
    LRESULT sel = SendMessageA(w, LB_GETCURSEL, 0, 0);
    LRESULT top = SendMessageA(w, LB_GETTOPINDEX, 0, 0);
    // Wine copies LB_GETTEXT's text between processes itself, as UTF-16 (the line must fit kText).
    char text[kText] = "";
    WCHAR wide[kText] = L"";
    LRESULT len = sel >= 0 ? SendMessageW(w, LB_GETTEXTLEN, (WPARAM)sel, 0) : -1;
    if (len >= 0 && (size_t)len < kText && SendMessageW(w, LB_GETTEXT, (WPARAM)sel, (LPARAM)wide) >= 0)
      WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    printf("{\"count\":%ld,\"selected\":%ld,\"top\":%ld,\"text\":", (long)count, (long)sel, (long)top);
    PutJsonString(text);
    printf("}\n");
  } else if (strcmp(cmd, "sbtext") == 0 && n >= 3) {
    char text[kText];
    if (SendForText(ParseHwnd(f[1]), SB_GETTEXTA, (WPARAM)atoi(f[2]), text, sizeof text)) {
      printf("{\"ok\":true,\"text\":");
      PutJsonString(text);
      printf("}\n");
    } else {
      Fail("status bar text not readable");
    }
  } else if (strcmp(cmd, "press") == 0 && n >= 3) {
    HWND item = GetDlgItem(ParseHwnd(f[1]), atoi(f[2]));
    // Posted: the click may start a modal loop (a message box, a progress window).
    if (item != nullptr && PostMessageA(item, BM_CLICK, 0, 0)) Ok();
    else Fail("no such control");
  } else if (strcmp(cmd, "combo") == 0 && n >= 3) {
    HWND item = GetDlgItem(ParseHwnd(f[1]), atoi(f[2]));
    if (item == nullptr) {
      Fail("no such control");
    } else {
      char text[kText];
      WindowText(item, text, sizeof text);
      LRESULT count = SendMessageA(item, CB_GETCOUNT, 0, 0);
      printf("{\"ok\":true,\"text\":");
      PutJsonString(text);
      printf(",\"selected\":%ld,\"items\":[", (long)SendMessageA(item, CB_GETCURSEL, 0, 0));
      for (LRESULT i = 0; i < count; ++i) {
        // Wine copies CB_GETLBTEXT's text between processes itself, as UTF-16.
        WCHAR wide[kText] = L"";
        char entry[kText] = "";
        LRESULT len = SendMessageW(item, CB_GETLBTEXTLEN, (WPARAM)i, 0);
        if (len >= 0 && (size_t)len < kText && SendMessageW(item, CB_GETLBTEXT, (WPARAM)i, (LPARAM)wide) >= 0)
          WideCharToMultiByte(CP_ACP, 0, wide, -1, entry, sizeof entry, nullptr, nullptr);
        if (i) putchar(',');
        PutJsonString(entry);
      }
      printf("]}\n");
    }
  } else if (strcmp(cmd, "lbitems") == 0 && n >= 2) {
    HWND w = ParseHwnd(f[1]);
    LRESULT count = SendMessageA(w, LB_GETCOUNT, 0, 0);
    printf("{\"ok\":%s,\"items\":[", count >= 0 ? "true" : "false");
    for (LRESULT i = 0; i < count; ++i) {
      // Wine copies LB_GETTEXT's text between processes itself, as UTF-16.
      WCHAR wide[kText] = L"";
      char entry[kText] = "";
      LRESULT len = SendMessageW(w, LB_GETTEXTLEN, (WPARAM)i, 0);
      if (len >= 0 && (size_t)len < kText && SendMessageW(w, LB_GETTEXT, (WPARAM)i, (LPARAM)wide) >= 0)
        WideCharToMultiByte(CP_ACP, 0, wide, -1, entry, sizeof entry, nullptr, nullptr);
      printf("%s{\"text\":", i ? "," : "");
      PutJsonString(entry);
      printf(",\"selected\":%s}", SendMessageA(w, LB_GETSEL, (WPARAM)i, 0) > 0 ? "true" : "false");
    }
    printf("]}\n");
  } else if ((strcmp(cmd, "lbclick") == 0 || strcmp(cmd, "lbdblclick") == 0) && n >= 3) {
    bool twice = strcmp(cmd, "lbdblclick") == 0;
    HWND w = ParseHwnd(f[1]);
    int item = atoi(f[2]);
    LRESULT count = SendMessageA(w, LB_GETCOUNT, 0, 0);
    LRESULT top = SendMessageA(w, LB_GETTOPINDEX, 0, 0);
    LRESULT height = SendMessageA(w, LB_GETITEMHEIGHT, 0, 0);
    RECT client;
    if (item < 0 || item >= count || item < top || height <= 0 || !GetClientRect(w, &client)) {
      Fail("no such item in view");
    } else {
      // A fixed-height list: the item's middle, counted from the top line.
      LPARAM at = MAKELPARAM(client.right / 2, (int)((item - top) * height + height / 2));
      PostMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, at);
      PostMessageA(w, WM_LBUTTONUP, 0, at);
      if (twice) {
        // The second press of a double click arrives as WM_LBUTTONDBLCLK.
        PostMessageA(w, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        PostMessageA(w, WM_LBUTTONUP, 0, at);
      }
      Ok();
    }
  } else if (strcmp(cmd, "style") == 0 && n >= 2) {
    HWND w = ParseHwnd(f[1]);
    printf("{\"style\":%lu,\"exstyle\":%lu}\n", (unsigned long)GetWindowLongA(w, GWL_STYLE),
           (unsigned long)GetWindowLongA(w, GWL_EXSTYLE));
  } else if (strcmp(cmd, "textwidth") == 0 && n >= 5) {
    HFONT font = CreateFontA(atoi(f[2]), 0, 0, 0, atoi(f[3]), 0, 0, 0, ANSI_CHARSET, 0, 0, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_SWISS, f[1]);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size = {0, 0};
    BOOL measured = GetTextExtentPoint32A(dc, f[4], (int)strlen(f[4]), &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    DeleteObject(font);
    if (measured) printf("{\"ok\":true,\"width\":%ld}\n", (long)size.cx);
    else Fail("text not measured");
  } else if (strcmp(cmd, "textmetrics") == 0 && n >= 5) {
    bool stock = strcmp(f[1], "stock") == 0;
    HFONT font = stock ? (HFONT)GetStockObject(atoi(f[2]))
                       : CreateFontA(atoi(f[2]), 0, 0, 0, atoi(f[3]), 0, 0, 0, ANSI_CHARSET, 0, 0, DEFAULT_QUALITY,
                                     DEFAULT_PITCH | FF_SWISS, f[1]);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size = {0, 0};
    TEXTMETRICA tm;
    BOOL measured = font && GetTextExtentPoint32A(dc, f[4], (int)strlen(f[4]), &size) && GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    if (!stock && font) DeleteObject(font);
    if (measured) printf("{\"ok\":true,\"width\":%ld,\"line\":%ld}\n", (long)size.cx,
                         (long)(tm.tmHeight + tm.tmExternalLeading));
    else Fail("text not measured");
  } else if (strcmp(cmd, "send") == 0 && n >= 5) {
    DWORD_PTR result = 0;
    if (SendMessageTimeoutA(ParseHwnd(f[1]), (UINT)strtoul(f[2], nullptr, 0), (WPARAM)strtoll(f[3], nullptr, 0),
                            (LPARAM)strtoll(f[4], nullptr, 0), SMTO_ABORTIFHUNG, 5000, &result))
      printf("{\"ok\":true,\"result\":%lld}\n", (long long)(intptr_t)result);
    else Fail("send failed");
  } else if (strcmp(cmd, "sendtext") == 0 && n >= 5) {
    HWND target = ParseHwnd(f[1]);
    DWORD pid = 0;
    GetWindowThreadProcessId(target, &pid);
    HANDLE process = pid ? OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid) : nullptr;
    size_t size = strlen(f[4]) + 1;
    void* remote = process ? VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE) : nullptr;
    DWORD_PTR result = 0;
    if (remote == nullptr || !WriteProcessMemory(process, remote, f[4], size, nullptr)) {
      Fail("text not copied into the receiver");
    } else if (SendMessageTimeoutA(target, (UINT)strtoul(f[2], nullptr, 0), (WPARAM)strtoll(f[3], nullptr, 0),
                                   (LPARAM)remote, SMTO_ABORTIFHUNG, 120000, &result)) {
      printf("{\"ok\":true,\"result\":%lld}\n", (long long)(intptr_t)result);
    } else {
      Fail("send failed");
    }
    if (remote != nullptr) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    if (process != nullptr) CloseHandle(process);
  } else {
    Fail("unknown command or missing fields");
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  char line[kLine];
  if (argc > 1) {
    char* f[kMaxFields];
    int n = 0;
    for (int i = 1; i < argc && n < kMaxFields; ++i) f[n++] = argv[i];
    Run(f, n);
    fflush(stdout);
    return 0;
  }
  while (fgets(line, sizeof line, stdin) != nullptr) {
    size_t len = strlen(line);
    while (len > 0 && (line[len - 1] == '\n' || line[len - 1] == '\r')) line[--len] = '\0';
    char* f[kMaxFields];
    int n = 0;
    char* p = line;
    f[n++] = p;
    while ((p = strchr(p, '\t')) != nullptr && n < kMaxFields) {
      *p++ = '\0';
      f[n++] = p;
    }
    bool more = Run(f, n);
    fflush(stdout);
    if (!more) break;
  }
  return 0;
}
