// How Tabulink ends. No window, form, run or helper ends the program itself:
// each asks for the end with RequestProgramEnd and returns; the frame (or
// start-up, before the frame exists) closes every window and ends the program
// with the exit code asked for. The exit codes of TABLNK.exe:
//
//   code  kExit...            when
//   0     kExitNormal         File, Exit or the frame closed
//   1     kExitNoFrame        the main window could not be created, or its
//                             message loop failed
//   2     kExitDiskError      the user confirmed "File Access Error" and was
//                             shown "Disk Error" (opening rules of a record file)
//   3     kExitAborted        the user chose Abort in a "Stop" box (a site the
//                             upgrade cannot add, and the other stop boxes that
//                             offer to end the program)
#ifndef SITELIST_WINDOWS_PROGRAM_END_H
#define SITELIST_WINDOWS_PROGRAM_END_H

enum ExitCode {
  kExitNormal = 0,
  kExitNoFrame = 1,
  kExitDiskError = 2,
  kExitAborted = 3,
};

// Asks for the end of the program with exitCode; callable from any thread.
// The first request wins; later ones keep its code. When the frame is up, it
// is asked to close (it closes every window first); before it is, start-up
// looks at ProgramEndRequested after each step. The caller just returns.
void RequestProgramEnd(int exitCode);

// True once an end was requested.
bool ProgramEndRequested();

// The code the program ends with: the requested one, kExitNormal when none.
int ProgramExitCode();

// After a record file failed to open: when the opening rules asked for the end
// (the user confirmed "File Access Error" and saw "Disk Error"), requests it
// with kExitDiskError and returns true.
bool RequestEndIfDiskError();

#endif
