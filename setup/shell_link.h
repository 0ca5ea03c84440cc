// Shell links (".lnk" files) as the installer makes them, through a small function
// table bound to the component object library in shell_link_binding.cpp.
#ifndef SETUP_SHELL_LINK_H
#define SETUP_SHELL_LINK_H

struct ShellLinkApi {
  // Saves a link to program with its arguments and description at linkPath (a full
  // path ending in ".lnk"). 1 when the file was written.
  int (*save)(const char *program, const char *arguments, const char *description, const char *linkPath);
};

#if defined(_WIN32)
const ShellLinkApi *platformShellLink(void);
#endif

#endif
