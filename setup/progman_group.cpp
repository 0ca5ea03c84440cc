// TXSETUP (Windows): the program group of an installation. With a Program Manager
// conversation the group and its items are made by DDE commands; without one, on a
// shell platform, the group is a directory of shortcut files under the Start menu's
// "Programs" folder. Then the uninstaller's item and the desktop shortcut. Everything
// made is entered in the uninstall log.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "setup/progman_api.h"
#include "setup/progman_commands.h"
#include "setup/progman_group.h"
#include "setup/resource.h"
#include "setup/setup_app.h"
#include "setup/setup_dialogs.h"
#include "setup/shell_link.h"

static const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

struct GroupBuilder {
  int dde;  // 1: Program Manager's DDE commands; 0: a directory of shortcut files
  char group[kGroupNameSize];
  char directory[kPathSize];  // shell mode: the group's directory, with a backslash
  char command[kDdeCommandSize];
};

static const ProgmanApi *progman(void) { return platformProgman(); }

static int shellPlatform(void) {
  const InstallState *s = g_app.state;
  return s->platform == 4 || (s->platform == 8 && s->platformMajor >= 4);
}

int openProgmanConversation(void) {
  HCURSOR was = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  int ok = progman()->open();
  SetCursor(was);
  return ok;
}

void closeProgmanConversation(void) { progman()->close(); }

// A folder of the Shell Folders key with a backslash added; empty when unset.
static void shellFolder(const char *name, char *out, size_t room) {
  registryReadText(g_app.registry, kCurrentUser, kShellFolders, name, out, room);
  size_t n = strlen(out);
  if (n > 0 && out[n - 1] != '\\' && n + 1 < room) strcat(out, "\\");
}

static void executeCommand(GroupBuilder *b, int fitted) {
  if (fitted) progman()->execute(b->command);
}

// Step 4: the group itself.
static void makeGroup(GroupBuilder *b) {
  InstallState *s = g_app.state;
  if (b->dde) {
    executeCommand(b, progmanCreateGroup(b->group, b->command, sizeof b->command));
    char key[kKeyPathSize + 16];
    snprintf(key, sizeof key, "%s\\ProgmanGroup", s->prefs->keyPath());
    registryWriteText(g_app.registry, kClassesRoot, key, nullptr, b->group);
    executeCommand(b, progmanShowGroup(b->group, b->command, sizeof b->command));
    return;
  }
  if (!b->directory[0]) return;  // no Programs folder: no place for the group
  char name[kGroupNameSize];
  progmanFileName(b->group, name, sizeof name);
  char path[kPathSize];
  int w = snprintf(path, sizeof path, "%s%s", b->directory, name);
  if (w < 0 || w + 2 > (int)sizeof path) {
    b->directory[0] = '\0';
    return;
  }
  CreateDirectoryA(path, nullptr);  // an existing group directory is used as it is
  s->log.add(kLogDirectories, path);
  snprintf(b->directory, sizeof b->directory, "%s\\", path);
}

static void addItem(GroupBuilder *b, const char *title, const char *program, const char *arguments) {
  InstallState *s = g_app.state;
  if (b->dde) {
    char answer[kDdeAnswerSize + 1];
    if (progman()->request(b->group, answer, sizeof answer) && progmanItemListed(answer, b->group, title))
      executeCommand(b, progmanReplaceItem(title, b->command, sizeof b->command));
    executeCommand(b, progmanAddItem(program, arguments, title, b->command, sizeof b->command));
    s->log.add(kLogProgmanGroup, title);
    return;
  }
  if (!b->directory[0]) return;
  char name[kItemTitleMax + 1], link[kPathSize];
  progmanFileName(title, name, sizeof name);
  int w = snprintf(link, sizeof link, "%s%s.lnk", b->directory, name);
  if (w < 0 || w >= (int)sizeof link) return;
  s->log.add(kLogFiles, link);
  platformShellLink()->save(program, arguments, title, link);
}

// Dialog 3212: another name for a group Program Manager refused.
class GroupNameDialog : public SetupDialog {
public:
  explicit GroupNameDialog(char *name) : SetupDialog(IDD_PROGMAN_GROUP), name_(name) { defaultButton = IDOK; }
  BOOL initDialog(HWND w) override {
    SendDlgItemMessageA(w, IDC_GROUP_NAME, EM_LIMITTEXT, kGroupNameSize - 1, 0);
    SetDlgItemTextA(w, IDC_GROUP_NAME, name_);
    // The shell's group window has just opened over the installer: this question
    // comes to the front.
    SetForegroundWindow(w);
    return SetupDialog::initDialog(w);
  }
  BOOL acceptPage(HWND w, int) override {
    GetDlgItemTextA(w, IDC_GROUP_NAME, name_, kGroupNameSize);
    return TRUE;
  }

private:
  char *name_;
};

// 1 with a new name in group, 0 when the user gives the installation up.
static int askGroupName(HWND owner, char *group) {
  for (;;) {
    snprintf(group, kGroupNameSize, "Main");
    GroupNameDialog d(group);
    if (d.run(owner) == IDOK) {
      if (group[0]) return 1;
      continue;  // an empty name names no group: ask again
    }
    if (exitConfirmation(owner) == 2) return 0;
  }
}

// Step 6: Program Manager refused the group when it does not list it but lists "Main".
static int groupRefused(GroupBuilder *b) {
  char groups[kDdeAnswerSize + 1];
  progman()->request("GROUPS", groups, sizeof groups);
  return !progmanGroupListed(groups, b->group) && groups[0] && progmanGroupListed(groups, "Main");
}

static void desktopShortcut(void) {
  InstallState *s = g_app.state;
  char description[512], fileName[512], name[kPathSize], folder[kPathSize], link[kPathSize];
  loadText(IDS_SHORTCUT_DESCRIPTION, description, sizeof description);
  loadText(IDS_SHORTCUT_FILE, fileName, sizeof fileName);
  progmanFileName(fileName, name, sizeof name);
  shellFolder("Desktop", folder, sizeof folder);
  if (!folder[0]) return;
  int w = snprintf(link, sizeof link, "%s%s", folder, name);
  if (w < 0 || w >= (int)sizeof link) return;
  s->log.add(kLogFiles, link);
  platformShellLink()->save(s->mainExe, "", description, link);
}

int buildProgramGroup(HWND owner) {
  InstallState *s = g_app.state;
  static GroupBuilder b;  // the 522-byte command buffer lives here: it cannot be missing
  memset(&b, 0, sizeof b);
  b.dde = progman()->connected();
  if (!b.dde) {
    if (shellPlatform()) {
      shellFolder("Programs", b.directory, sizeof b.directory);
    } else {
      HWND manager = FindWindowA(nullptr, "Program Manager");
      if (manager) ShowWindow(manager, SW_SHOWNOACTIVATE);
    }
  }
  RefContext c = {&g_app.script, s->destination, g_app.windowsDirectory, g_app.systemDirectory};
  static ProgmanPlan plan;
  if (!readProgmanPlan(&c, s->productName, &plan)) return 1;
  snprintf(b.group, sizeof b.group, "%s", plan.group);
  // Without a conversation and without a Programs folder (no shell) there is no
  // place for the group: it and its items are left out rather than put into whatever
  // the current directory is.
  for (;;) {
    makeGroup(&b);
    for (int i = 0; i < plan.count; ++i)
      addItem(&b, plan.items[i].title, plan.items[i].program, plan.items[i].arguments);
    if (!b.dde || !groupRefused(&b)) break;
    if (!askGroupName(owner, b.group)) return 0;
  }
  if (s->uninstallerPath[0] && s->log.isOpen()) {
    char word[64], title[kItemTitleMax + 1];
    loadText(IDS_UNINSTALLER_WORD, word, sizeof word);
    uninstallerItemTitle(&g_app.script, s->productName, word, title, sizeof title);
    addItem(&b, title, s->uninstallerPath, s->prefs->keyPath());
  }
  if (shellPlatform() && s->mainExeFound) desktopShortcut();
  return 1;
}

LRESULT findProgramMessage(WPARAM offset, LPARAM lp) {
  char *buffer = (char *)lp;
  if (!buffer) return 0;
  char group[kGroupNameSize], file[kPathSize], path[kPathSize];
  // The group name stands at the start of the buffer, the file name at the offset.
  size_t groupLength = offset < sizeof group ? (size_t)offset : sizeof group - 1;
  memcpy(group, buffer, groupLength);
  group[groupLength] = '\0';
  snprintf(file, sizeof file, "%.259s", buffer + offset);
  int found = 0;
  char answer[kDdeAnswerSize + 1];
  if (progman()->connected() && progman()->request(group, answer, sizeof answer))
    found = progmanFindProgram(answer, file, path, sizeof path);
  // The caller's buffer holds a path: at most 260 characters with the terminator.
  snprintf(buffer, kPathSize, "%s", found ? path : "");
  return found;
}
