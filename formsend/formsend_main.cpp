// formsend (Windows): the console program's entry. The web server starts it with the
// form body on standard input; standard output stays in text mode, so each "\n" of
// the answer reaches the server as CR LF.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>

#include "formsend/run.h"
#include "formsend/winsock_binding.h"

int main(void) {
  // The body is counted in bytes: read it untranslated.
  _setmode(_fileno(stdin), _O_BINARY);
  RunContext ctx = {stdin, stdout, getenv("CONTENT_LENGTH"), privateProfileLookup, NULL, winsockApi(), kSmtpPort};
  return runFormsend(&ctx);
}
