// Program Manager as the installer reaches it: one DDE conversation per process with
// the service and topic "Progman", through a small function table bound to the DDE
// management library in progman_binding.cpp.
#ifndef SETUP_PROGMAN_API_H
#define SETUP_PROGMAN_API_H

#include <stddef.h>

struct ProgmanApi {
  // Opens the conversation (and the installer's own "PROGMAN" service, which never
  // answers the installer itself). 1 when Program Manager answered.
  int (*open)(void);
  // 1 while the conversation is open.
  int (*connected)(void);
  // One execute transaction of the whole text and its terminator (time-out 1000 ms).
  // 1 when Program Manager acknowledged it.
  int (*execute)(const char *command);
  // A request of item as text (time-out 1000 ms), at most room - 1 characters.
  // 1 when data came back; out is empty otherwise.
  int (*request)(const char *item, char *out, size_t room);
  // Ends the conversation, the service and the DDE instance.
  void (*close)(void);
};

#if defined(_WIN32)
const ProgmanApi *platformProgman(void);
#endif

#endif
