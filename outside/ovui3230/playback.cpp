// Decoding clips to the output on a thread of their own (playback.h).
#include "outside/ovui3230/playback.h"

#include <stdlib.h>

#include "common/tx_util.h"
#include "outside/a52wav/decoder_link.h"
#include "outside/a52wav/frame_scan.h"
#include "outside/ovui3230/audio_output.h"
#include "outside/ovui3230/call_log.h"
#include "outside/ovui3230/controls.h"
#include "outside/ovui3230/source_reader.h"

namespace {

const int kDecodeRate = 44100;
const int kDecodeChannels = 2;

CRITICAL_SECTION g_decoderLock;

struct PlayJob {
  Player *p;
  int index;
  LONG generation;
};

// Decodes every frame of the scanned clip to the output; answers 1 when it played
// to its end.
int DecodeToOutput(Player *p, const char *item, FrameScan *scan, const FrameSpot &first, DecoderLink *link,
                   int samplesPerFrame) {
  int rate = streamRate(first.fscod, first.bsid);
  char where[MAX_PATH];
  Output out;
  if (!OpenOutput(&out, item, kDecodeChannels, rate, where, sizeof where)) {
    Log("PlayFailed\t%s\tcannot write %s", item, where);
    return 0;
  }
  static uint8_t frame[MAX_FRAME_BYTES];
  static int16_t pcm[kFramesPerBuffer * 2 * kSamplesPerChannel];
  long frames = 0, errors = 0;
  int inBuffer = 0, ok = 1, ended = 0;
  for (;;) {
    if (p->stop) break;
    FrameSpot spot;
    if (scanNext(scan, &spot) != SCAN_FRAME) {
      ended = 1;
      break;
    }
    if (copyFrameForLibrary(scan, &spot, frame, sizeof frame) == 0) continue;
    if (link->decode(frame, pcm + inBuffer * samplesPerFrame, 1) != 0) ++errors;
    ++frames;
    InterlockedExchange(&p->framesDecoded, frames);
    if (++inBuffer == kFramesPerBuffer) {
      ok = WriteOutput(&out, pcm, (size_t)inBuffer * samplesPerFrame, &p->stop);
      inBuffer = 0;
      PostMessageA(p->panel, WM_OVUI_POSITION, (WPARAM)(frames * kSamplesPerChannel * 10 / rate), 0);
      if (!ok) break;
    }
  }
  if (ok && inBuffer > 0) ok = WriteOutput(&out, pcm, (size_t)inBuffer * samplesPerFrame, &p->stop);
  if (!CloseOutput(&out, p->stop != 0)) ok = 0;
  if (!ok) ended = 0;
  Log("PlayEnd\t%s\t%s\tframes=%ld\terrors=%ld\t%s", item, where, frames, errors,
      p->stop ? "stopped" : (ok ? "complete" : "write failed"));
  return ended;
}

// Reads, scans and decodes one clip; answers 1 when it played to its end.
int PlayClip(Player *p, const char *item) {
  char why[512] = "";
  Bytes clip = {};
  if (!ReadSource(item, &clip, why, sizeof why)) {
    Log("PlayFailed\t%s\t%s", item, why);
    return 0;
  }
  InterlockedExchange(&p->bytesRead, (LONG)clip.size);
  FrameScan scan;
  FrameSpot first;
  if (scanStart(&scan, clip.data, clip.size) == ORDER_NONE || scanNext(&scan, &first) == SCAN_END) {
    Log("PlayFailed\t%s\tno A/52 frame", item);
    FreeBytes(&clip);
    return 0;
  }
  scan.pos = 0;
  EnterCriticalSection(&g_decoderLock);
  DecoderLink link;
  int ended = 0;
  int samplesPerFrame = 0;
  if (!openDecoderLink(&link, why, sizeof why)) {
    Log("PlayFailed\t%s\t%s", item, why);
  } else if (link.init(kDecodeRate, kDecodeChannels, &samplesPerFrame) != 0 ||
             samplesPerFrame != kDecodeChannels * kSamplesPerChannel) {
    Log("PlayFailed\t%s\tthe decoder refused the stream", item);
    closeDecoderLink(&link);
  } else {
    ended = DecodeToOutput(p, item, &scan, first, &link, samplesPerFrame);
    link.release();
    closeDecoderLink(&link);
  }
  LeaveCriticalSection(&g_decoderLock);
  FreeBytes(&clip);
  return ended;
}

DWORD WINAPI PlayThread(void *param) {
  PlayJob *job = static_cast<PlayJob *>(param);
  Player *p = job->p;
  int index = job->index;
  LONG generation = job->generation;
  free(job);
  PostMessageA(p->panel, WM_OVUI_STARTED, (WPARAM)index, generation);
  int how = PlayClip(p, p->items[index]) ? kClipComplete : kClipFailed;
  if (p->stop) how = kClipStopped;
  InterlockedExchange(&p->playing, 0);
  PostMessageA(p->panel, WM_OVUI_ENDED, (WPARAM)index, (LPARAM)generation * 4 + how);
  return 0;
}

}  // namespace

void InitPlayback(void) { InitializeCriticalSection(&g_decoderLock); }

void StopPlaying(Player *p) {
  if (p->thread == nullptr) return;
  InterlockedExchange(&p->stop, 1);
  WaitForSingleObject(p->thread, INFINITE);
  CloseHandle(p->thread);
  p->thread = nullptr;
  InterlockedExchange(&p->playing, 0);
}

void JoinEndedClip(Player *p) {
  if (p->thread == nullptr) return;
  WaitForSingleObject(p->thread, INFINITE);
  CloseHandle(p->thread);
  p->thread = nullptr;
}

int StartItem(Player *p, int index) {
  StopPlaying(p);
  if (index < 0 || index >= p->itemCount) return 0;
  p->current = index;
  PlayJob *job = static_cast<PlayJob *>(malloc(sizeof(PlayJob)));
  if (job == nullptr) return 0;
  job->p = p;
  job->index = index;
  job->generation = ++p->generation;
  InterlockedExchange(&p->stop, 0);
  InterlockedExchange(&p->playing, 1);
  InterlockedExchange(&p->framesDecoded, 0);
  p->thread = CreateThread(nullptr, 0, PlayThread, job, 0, nullptr);
  if (p->thread == nullptr) {
    free(job);
    InterlockedExchange(&p->playing, 0);
    return 0;
  }
  SetStatus(p, "Buffering...");
  return 1;
}

int SetPlayerSource(Player *p, const char *source, char *why, size_t whyRoom) {
  StopPlaying(p);
  p->current = 0;
  if (!ResolveSource(source, p->items, kMaxClipItems, &p->itemCount, why, whyRoom)) return 0;
  copyBounded(p->source, sizeof p->source, source);
  Log("SourceItems\t%d", p->itemCount);
  for (int i = 0; i < p->itemCount; ++i) Log("SourceItem\t%d\t%s", i, p->items[i]);
  return 1;
}
