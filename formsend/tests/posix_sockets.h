// formsend tests: the sockets interface over the host's BSD sockets, so that the
// portable dialogue runs against real TCP peers in the native tests.
#ifndef FORMSEND_TESTS_POSIX_SOCKETS_H
#define FORMSEND_TESTS_POSIX_SOCKETS_H

#include "formsend/smtp.h"

// The receive time-out of this binding, in milliseconds (kReceiveTimeoutSeconds by default).
extern int g_posixReceiveTimeoutMs;
// When set, load() reports that the library cannot be loaded.
extern int g_posixLoadFails;

const SocketApi *posixSocketApi(void);

#endif
