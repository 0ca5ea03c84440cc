// The library's call log: every call with its arguments and the library's own
// events, one tab-separated line each, to $OVUI3230_LOG or ovui3230.log beside the
// library, so that the shell's calls and their order can be checked. Also the test
// switches that make a call answer a given number.
#ifndef OUTSIDE_OVUI3230_CALL_LOG_H
#define OUTSIDE_OVUI3230_CALL_LOG_H

// Once, when the library is loaded (before any other thread can log).
void InitCallLog(void);
// Appends one line (printf format, CR LF added); safe from any thread.
void Log(const char *format, ...) __attribute__((format(printf, 1, 2)));
// The text, or "(null)" for a null pointer, for the log.
const char *Text(const char *s);
// The number in the environment variable `name`, or `fallback` when it is unset.
int EnvResult(const char *name, int fallback);

#endif
