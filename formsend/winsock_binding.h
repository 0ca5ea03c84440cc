// formsend (Windows): the sockets interface bound to "wsock32.dll", loaded at run
// time by name, and the configuration read with the private-profile calls.
#ifndef FORMSEND_WINSOCK_BINDING_H
#define FORMSEND_WINSOCK_BINDING_H

#include "formsend/form.h"
#include "formsend/smtp.h"

// The SocketApi whose load() loads "wsock32.dll" and looks its functions up by name.
const SocketApi *winsockApi(void);

// ProfileLookup over "<working directory>\formsend.ini", section "Quenby Mailer".
void privateProfileLookup(void *context, const char *key, char *out, size_t room);

#endif
