// Native tests of the sound device check over tables of devices: what a machine
// without drivers, with the speaker driver, with the speaker driver before a real
// card, and with a card that wants 11025 samples/s each give, and which devices are
// opened on the way.
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "setup/sound_check.h"

namespace {

struct Device {
  const char *name;  // NULL: capabilities cannot be read
  int openResult;
};

struct Machine {
  std::vector<Device> devices;
  std::vector<int> opened;

  static int count(void *c) { return (int)((Machine *)c)->devices.size(); }
  static int name(void *c, int d, char *out, size_t room) {
    const Device &dev = ((Machine *)c)->devices[(size_t)d];
    if (!dev.name) return 0;
    snprintf(out, room, "%s", dev.name);
    return 1;
  }
  static int open(void *c, int d) {
    Machine *m = (Machine *)c;
    m->opened.push_back(d);
    return m->devices[(size_t)d].openResult;
  }
  SoundCheck check(int canOpen = 1) {
    WaveOutApi api = {this, count, name, open};
    return checkSoundDevices(&api, canOpen);
  }
};

const int kAllocated = 4;  // MMSYSERR_ALLOCATED: the device is busy

}  // namespace

TEST(SoundCheck, NoDeviceWhoseCapabilitiesCanBeReadMeansNoDriver) {
  Machine none;
  EXPECT_EQ(kSoundNoDriver, none.check().verdict);
  Machine unreadable{{{nullptr, 0}, {nullptr, 0}}, {}};
  SoundCheck c = unreadable.check();
  EXPECT_EQ(kSoundNoDriver, c.verdict);
  EXPECT_EQ(0, c.examined);
  EXPECT_TRUE(unreadable.opened.empty());
}

TEST(SoundCheck, TheSpeakerDriverAloneIsRefusedAndARealCardAfterItPasses) {
  Machine speaker{{{"Speaker Driver", kWaveOpenSyncOnly}}, {}};
  EXPECT_EQ(kSoundSpeakerOnly, speaker.check().verdict);

  Machine both{{{"Speaker Driver", kWaveOpenSyncOnly}, {"Sound Card Out", 0}, {"Third", 0}}, {}};
  SoundCheck c = both.check();
  EXPECT_EQ(kSoundPasses, c.verdict);
  EXPECT_EQ(1, c.openedDevice);
  EXPECT_EQ((std::vector<int>{0, 1}), both.opened);  // the walk stops at the card that opened

  // A card first ends the walk there: a speaker driver after it is never asked.
  Machine cardFirst{{{"Sound Card Out", 0}, {"Speaker Driver", kWaveOpenSyncOnly}}, {}};
  EXPECT_EQ(kSoundPasses, cardFirst.check().verdict);
  EXPECT_EQ((std::vector<int>{0}), cardFirst.opened);

  // A device that answers anything but "synchronous only" ends the walk and passes,
  // even when it is busy.
  Machine busy{{{"Sound Card Out", kAllocated}, {"Speaker Driver", kWaveOpenSyncOnly}}, {}};
  EXPECT_EQ(kSoundPasses, busy.check().verdict);

  // An unreadable device between two speaker drivers does not change the verdict.
  Machine twoSpeakers{{{"Speaker Driver", kWaveOpenSyncOnly}, {nullptr, 0}, {"Speaker 2", kWaveOpenSyncOnly}}, {}};
  EXPECT_EQ(kSoundSpeakerOnly, twoSpeakers.check().verdict);
  EXPECT_EQ((std::vector<int>{0, 2}), twoSpeakers.opened);
}

TEST(SoundCheck, CardsThatWantTheLowerSampleRateAreMarked) {
  EXPECT_TRUE(wantsLowSampleRate("MultiSound Wave Out"));
  EXPECT_TRUE(wantsLowSampleRate("Tahiti Wave Out"));
  EXPECT_FALSE(wantsLowSampleRate("tahiti wave out"));
  EXPECT_FALSE(wantsLowSampleRate("Tahiti Wave Out 2"));

  Machine tahiti{{{"Tahiti Wave Out", 0}}, {}};
  SoundCheck c = tahiti.check();
  EXPECT_EQ(kSoundPasses, c.verdict);
  EXPECT_EQ(1, c.install11);

  // Marked even when the card is synchronous only and the check fails on it.
  Machine syncTahiti{{{"MultiSound Wave Out", kWaveOpenSyncOnly}}, {}};
  c = syncTahiti.check();
  EXPECT_EQ(kSoundSpeakerOnly, c.verdict);
  EXPECT_EQ(1, c.install11);

  // Devices after the one that opened are not looked at.
  Machine later{{{"Sound Card Out", 0}, {"Tahiti Wave Out", 0}}, {}};
  EXPECT_EQ(0, later.check().install11);
}

TEST(SoundCheck, WithoutAWindowTheFirstReadableDeviceDecidesWithoutAnOpen) {
  Machine m{{{nullptr, 0}, {"Speaker Driver", kWaveOpenSyncOnly}, {"Tahiti Wave Out", 0}}, {}};
  SoundCheck c = m.check(0);
  EXPECT_EQ(kSoundPasses, c.verdict);
  EXPECT_EQ(1, c.examined);
  EXPECT_TRUE(m.opened.empty());
}
