// Splash: the logo and "Version 1.5" over the frame at start.
#ifndef SITELIST_WINDOWS_SPLASH_WINDOW_H
#define SITELIST_WINDOWS_SPLASH_WINDOW_H

// The splash's window procedure, run on its own thread by StartProcedure;
// returns kWindowClosed, or kWindowNotOpened when its window could not be made.
int Splash(void* unused);

// Closes the splash window if it is still open (the first menu choice does);
// callable from any thread.
void CloseSplash();

#endif
