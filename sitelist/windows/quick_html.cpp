// Quick HTML publishing: lines and the output file.
#include "sitelist/windows/quick_html.h"

#include <errno.h>
#include <string.h>

const char* const kQuickHtmlHeader[kQuickHeaderLines] = {
    "<HTML>",
    "",
    "<HEAD><TITLE>Tabulink - Quick Published Site List</TITLE></HEAD>",
    "",
    "<BODY>",
    "",
    "<H1>Tabulink - Quick Published Site List</H1><P>",
    "<HR>",
    "<TABLE BORDER=1>",
    "<TR> <TD>Description</TD> <TD>Location</TD> <TD>Category</TD> <TD>Rating</TD> <TD>Keyword</TD> </TR>",
};

const char* const kQuickHtmlFooter[kQuickFooterLines] = {"", "</TABLE>", "", "</BODY>", "</HTML>"};

int QuickHtmlDefaultName(const char* dir, char* out, size_t cap) {
  size_t n = strlen(dir);
  const char* sep = (n > 0 && (dir[n - 1] == '\\' || dir[n - 1] == '/')) ? "" : "\\";
  int len = snprintf(out, cap, "%s%sQUICK.HTM", dir, sep);
  if (len < 0 || (size_t)len >= cap) {
    if (cap > 0) out[0] = '\0';
    return 0;
  }
  return 1;
}

size_t QuickHtmlRow(const SiteRecord* site, char* out, size_t cap) {
  char description[sizeof site->Description + 1], location[sizeof site->Location + 1];
  char category[sizeof site->Category + 1], keyword[sizeof site->Keyword + 1];
  GET_FIELD(site->Description, description);
  GET_FIELD(site->Location, location);
  GET_FIELD(site->Category, category);
  GET_FIELD(site->Keyword, keyword);
  int n = snprintf(out, cap, "<TR> <TD>%s</TD> <TD>%s</TD> <TD>%s</TD> <TD>%2d</TD> <TD>%s</TD> </TR>", description,
                   location, category, (int)site->Rating, keyword);
  if (n < 0) n = 0;
  if ((size_t)n >= cap) n = cap > 0 ? (int)cap - 1 : 0;
  return (size_t)n;
}

static int put_line(QuickHtmlFile* q, const char* text, size_t n) {
  if (q->file == nullptr) return 0;
  if ((n > 0 && fwrite(text, 1, n, q->file) != n) || fwrite("\r\n", 1, 2, q->file) != 2) {
    if (q->error == 0) q->error = errno ? errno : EIO;
    return 0;
  }
  return 1;
}

int QuickHtmlCreate(QuickHtmlFile* out, const char* name) {
  out->rows = 0;
  out->error = 0;
  errno = 0;
  out->file = fopen(name, "wb");
  if (out->file == nullptr) {
    out->error = errno ? errno : EIO;
    return 0;
  }
  for (const char* line : kQuickHtmlHeader) {
    if (!put_line(out, line, strlen(line))) {
      QuickHtmlAbandon(out);
      return 0;
    }
  }
  return 1;
}

int QuickHtmlWriteRow(QuickHtmlFile* q, const SiteRecord* site) {
  char row[kQuickRowMax];
  static_assert(kQuickRowMax > sizeof site->Description + sizeof site->Location + sizeof site->Category +
                                   sizeof site->Keyword + 2 + 64,
                "a row fits whole");
  size_t n = QuickHtmlRow(site, row, sizeof row);
  if (!put_line(q, row, n)) return 0;
  q->rows++;
  return 1;
}

int QuickHtmlFinish(QuickHtmlFile* q) {
  if (q->file == nullptr) return 0;
  int ok = 1;
  for (const char* line : kQuickHtmlFooter) ok = put_line(q, line, strlen(line)) && ok;
  if (fclose(q->file) != 0) {
    if (q->error == 0) q->error = errno ? errno : EIO;
    ok = 0;
  }
  q->file = nullptr;
  return ok && q->error == 0;
}

void QuickHtmlAbandon(QuickHtmlFile* q) {
  if (q->file != nullptr) fclose(q->file);
  q->file = nullptr;
}
