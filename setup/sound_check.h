// TXSETUP's sound device check at the start of a run: every wave-output device is
// looked at until one opens for 11025 Hz mono 16-bit sound; certain cards are marked
// for the lower sampling rate. Portable: the devices are reached through a WaveOutApi
// (winmm in sound_check_binding.cpp, a table of devices in the native tests).
#ifndef SETUP_SOUND_CHECK_H
#define SETUP_SOUND_CHECK_H

#include <stddef.h>

enum {
  kWaveNameSize = 32,       // a device's product name, terminator included
  kWaveOpenSyncOnly = 35,   // what an open answers for a synchronous-only device
  kSoundSampleRate = 11025  // the format the check opens: PCM, 1 channel, 16 bits
};

// The wave-output devices of the machine.
struct WaveOutApi {
  void *context;
  int (*deviceCount)(void *context);
  // The device's product name into out (room bytes); 0 when its capabilities
  // cannot be read.
  int (*productName)(void *context, int device, char *out, size_t room);
  // Opens the device with the check's format and closes it again; returns the
  // platform's result code (0 opened, kWaveOpenSyncOnly, or another error).
  int (*openAndClose)(void *context, int device);
};

enum SoundVerdict {
  kSoundPasses = 0,
  kSoundNoDriver = 1,     // no device whose capabilities can be read: 3270 and 3271
  kSoundSpeakerOnly = 2,  // the last device examined is synchronous only: 3272 and 3273
};

struct SoundCheck {
  SoundVerdict verdict;
  int install11;     // a card that wants 11025 samples/s was seen ([INI File] Install11 = "1")
  int examined;      // devices whose capabilities were read
  int openedDevice;  // the device that opened (or failed otherwise), -1 when none
};

// 1 for the product names of the cards that play at 11025 samples/s only
// ("MultiSound Wave Out", "Tahiti Wave Out"; compared exactly).
int wantsLowSampleRate(const char *productName);

// Runs the check. canOpen is 0 when there is no main window to open devices for:
// the first readable device then ends the walk without an open.
SoundCheck checkSoundDevices(const WaveOutApi *api, int canOpen);

#endif
