// ovui3230 stand-in: the outside player library TXPLAYER links against, small and
// honest. It draws its own controls in the shell's window (Play and Stop, a
// position line, info and volume, presets and scan, a status line, as the controls
// flags ask), keeps a preferences dialog and an about box, calls the shell back
// (NowPlaying, CheckSettings), and plays: a local clip is an A/52 stream decoded
// through TXDECODE.dll, loaded at run time, to the wave-output device when there is
// one, else to a WAVE file beside the clip; a clip list (".txm") is a text of
// "file:" or location lines; ovm://host[:port]/path is fetched over HTTP.
//
// Every call is logged with its arguments, one line each ("TxguiSetSource\ttext"),
// to $OVUI3230_LOG or ovui3230.log beside the library. Test switches (environment):
// OVUI3230_CONSOLE_RESULT, OVUI3230_SOURCE_RESULT, OVUI3230_PLAY_RESULT answer
// those calls with the given number instead of 0.
#define OVUI3230_BUILD
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <mmsystem.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "common/tx_util.h"
#include "outside/a52wav/decoder_link.h"
#include "outside/a52wav/frame_scan.h"
#include "outside/a52wav/wav_file.h"
#include "outside/ovui3230/clip_source.h"
#include "outside/ovui3230/ovui3230.h"
#include "outside/ovui3230/resource.h"

namespace {

const char kPanelClass[] = "Ovui3230Controls";
const char kStatsClass[] = "Ovui3230Statistics";
const char kPrefsKey[] = "Software\\Orvane Labs\\Tessavox Player\\3.0\\Preferences";
const size_t kMaxClipBytes = 64u * 1024u * 1024u;
const int kSamplesPerChannel = 1536;

enum {
  IDC_PLAY = 1001,
  IDC_STOP = 1002,
  IDC_POSITION = 1003,
  IDC_INFO = 1004,
  IDC_VOLUME = 1005,
  IDC_VOLUME_LABEL = 1007,
  IDC_STATUS = 1006,
  IDC_PRESET_FIRST = 1010,  // four presets
  IDC_SCAN = 1014,
};

enum {
  WM_OVUI_STARTED = WM_APP + 1,   // wParam item index, lParam generation: the clip began
  WM_OVUI_POSITION = WM_APP + 2,  // wParam tenths of seconds decoded
  WM_OVUI_ENDED = WM_APP + 3,     // wParam item index, lParam generation * 4 + how it ended
};

enum ClipEnd { kClipFailed = 0, kClipComplete = 1, kClipStopped = 2 };

HMODULE g_module = nullptr;
CRITICAL_SECTION g_logLock;
CRITICAL_SECTION g_decoderLock;  // TXDECODE keeps one static decoder

struct Client {
  ClientSetup setup;  // a copy; its texts are the shell's and live as long as it
};

struct Player {
  Client *client;
  HWND shell;
  HWND panel;
  HWND stats;
  uint32_t flags;
  int mode;
  int statisticsShown;
  int scanning;
  char status[256];
  char items[kMaxClipItems][kClipTextSize];
  int itemCount;
  int current;
  HANDLE thread;
  volatile LONG stop;
  volatile LONG playing;
  volatile LONG framesDecoded;
  volatile LONG bytesRead;
  LONG generation;  // raised for every clip started; older clips' messages are ignored
  int volume;
};

// ---- log ------------------------------------------------------------------

void LogPath(char *out, size_t room) {
  DWORD n = GetEnvironmentVariableA("OVUI3230_LOG", out, (DWORD)room);
  if (n > 0 && n < room) return;
  char module[MAX_PATH];
  n = GetModuleFileNameA(g_module, module, sizeof module);
  if (n == 0 || n >= sizeof module) {
    copyBounded(out, room, "ovui3230.log");
    return;
  }
  char *slash = strrchr(module, '\\');
  if (slash) slash[1] = '\0';
  snprintf(out, room, "%sovui3230.log", slash ? module : "");
}

void Log(const char *format, ...) {
  char line[2048];
  va_list args;
  va_start(args, format);
  vsnprintf(line, sizeof line, format, args);
  va_end(args);
  char path[MAX_PATH];
  LogPath(path, sizeof path);
  EnterCriticalSection(&g_logLock);
  FILE *f = fopen(path, "ab");
  if (f) {
    fprintf(f, "%s\r\n", line);
    fclose(f);
  }
  LeaveCriticalSection(&g_logLock);
}

const char *Text(const char *s) { return s ? s : "(null)"; }

int EnvResult(const char *name, int fallback) {
  char value[16];
  DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  if (n == 0 || n >= sizeof value) return fallback;
  return atoi(value);
}

// ---- reading sources --------------------------------------------------------

struct Bytes {
  uint8_t *data;
  size_t size;
};

void FreeBytes(Bytes *b) {
  free(b->data);
  b->data = nullptr;
  b->size = 0;
}

int ReadLocal(const char *text, Bytes *out, char *why, size_t whyRoom) {
  char path[kClipTextSize];
  localPathOf(text, path, sizeof path);
  FILE *f = fopen(path, "rb");
  if (f == nullptr) {
    snprintf(why, whyRoom, "Cannot open %s", path);
    return 0;
  }
  size_t cap = 65536, size = 0;
  uint8_t *data = static_cast<uint8_t *>(malloc(cap));
  size_t n;
  while (data && (n = fread(data + size, 1, cap - size, f)) > 0) {
    size += n;
    if (size == cap) {
      if (cap >= kMaxClipBytes) break;
      uint8_t *more = static_cast<uint8_t *>(realloc(data, cap * 2));
      if (more == nullptr) break;
      data = more;
      cap *= 2;
    }
  }
  fclose(f);
  if (data == nullptr) {
    snprintf(why, whyRoom, "Out of memory reading %s", path);
    return 0;
  }
  out->data = data;
  out->size = size;
  return 1;
}

int Fetch(const char *url, Bytes *out, char *why, size_t whyRoom) {
  char host[kHostSize], path[kClipTextSize];
  int port = 80;
  if (!parseLocation(url, host, sizeof host, &port, path, sizeof path)) {
    snprintf(why, whyRoom, "Not a location: %s", url);
    return 0;
  }
  char portText[8];
  snprintf(portText, sizeof portText, "%d", port);
  addrinfo hints = {};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo *found = nullptr;
  if (getaddrinfo(host, portText, &hints, &found) != 0 || found == nullptr) {
    snprintf(why, whyRoom, "Cannot find the host %s", host);
    return 0;
  }
  SOCKET s = socket(found->ai_family, found->ai_socktype, found->ai_protocol);
  int connected = s != INVALID_SOCKET && connect(s, found->ai_addr, (int)found->ai_addrlen) == 0;
  freeaddrinfo(found);
  if (!connected) {
    if (s != INVALID_SOCKET) closesocket(s);
    snprintf(why, whyRoom, "Cannot connect to %s:%d", host, port);
    return 0;
  }
  DWORD timeout = 15000;
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&timeout), sizeof timeout);
  char request[kClipTextSize + kHostSize + 128];
  int n =
      snprintf(request, sizeof request,
               "GET %s HTTP/1.0\r\nHost: %s:%d\r\nUser-Agent: ovui3230\r\nConnection: close\r\n\r\n", path, host, port);
  if (n <= 0 || (size_t)n >= sizeof request || send(s, request, n, 0) != n) {
    closesocket(s);
    snprintf(why, whyRoom, "Cannot ask %s for %s", host, path);
    return 0;
  }
  size_t cap = 65536, size = 0;
  uint8_t *data = static_cast<uint8_t *>(malloc(cap));
  while (data) {
    if (size == cap) {
      if (cap >= kMaxClipBytes) break;
      uint8_t *more = static_cast<uint8_t *>(realloc(data, cap * 2));
      if (more == nullptr) break;
      data = more;
      cap *= 2;
    }
    int got = recv(s, reinterpret_cast<char *>(data + size), (int)(cap - size), 0);
    if (got <= 0) break;
    size += (size_t)got;
  }
  closesocket(s);
  int status = 0;
  size_t offset = 0, length = 0;
  if (data == nullptr || !parseHttpAnswer(data, size, &status, &offset, &length) || status != 200) {
    snprintf(why, whyRoom, "%s answered %d for %s", host, status, path);
    free(data);
    return 0;
  }
  memmove(data, data + offset, length);
  out->data = data;
  out->size = length;
  return 1;
}

int ReadSource(const char *text, Bytes *out, char *why, size_t whyRoom) {
  return sourceKind(text) == kSourceRemote ? Fetch(text, out, why, whyRoom) : ReadLocal(text, out, why, whyRoom);
}

// ---- output ---------------------------------------------------------------

// The WAVE file for a clip: beside a local clip (its extension made ".wav"), in the
// temporary directory for a fetched one.
void WavePathFor(const char *item, char *out, size_t room) {
  char title[MAX_PATH];
  clipTitle(item, title, sizeof title);
  char *dot = strrchr(title, '.');
  if (dot) *dot = '\0';
  if (sourceKind(item) == kSourceLocal) {
    char path[kClipTextSize];
    localPathOf(item, path, sizeof path);
    char *slash = strrchr(path, '\\');
    if (slash) {
      slash[1] = '\0';
      snprintf(out, room, "%s%s.wav", path, title);
    } else {
      snprintf(out, room, "%s.wav", title);
    }
    return;
  }
  char temp[MAX_PATH];
  DWORD n = GetTempPathA(sizeof temp, temp);
  if (n == 0 || n >= sizeof temp) temp[0] = '\0';
  snprintf(out, room, "%s%s.wav", temp, title);
}

struct Output {
  WavFile wav;
  HWAVEOUT device;
  HANDLE done;
  WAVEHDR headers[4];
  int16_t *buffers[4];
  int next;
  int useDevice;
};

enum { kFramesPerBuffer = 8 };

int OpenOutput(Output *o, const char *item, int channels, int rate, char *where, size_t whereRoom) {
  memset(o, 0, sizeof *o);
  if (waveOutGetNumDevs() > 0) {
    WAVEFORMATEX fmt = {};
    fmt.wFormatTag = WAVE_FORMAT_PCM;
    fmt.nChannels = (WORD)channels;
    fmt.nSamplesPerSec = (DWORD)rate;
    fmt.wBitsPerSample = 16;
    fmt.nBlockAlign = (WORD)(2 * channels);
    fmt.nAvgBytesPerSec = fmt.nSamplesPerSec * fmt.nBlockAlign;
    o->done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (o->done &&
        waveOutOpen(&o->device, WAVE_MAPPER, &fmt, (DWORD_PTR)o->done, 0, CALLBACK_EVENT) == MMSYSERR_NOERROR) {
      o->useDevice = 1;
      for (int i = 0; i < 4; ++i) {
        o->buffers[i] = static_cast<int16_t *>(calloc(kFramesPerBuffer * 2 * kSamplesPerChannel, sizeof(int16_t)));
        o->headers[i].dwFlags = WHDR_DONE;
      }
      copyBounded(where, whereRoom, "wave device");
      return 1;
    }
    if (o->done) CloseHandle(o->done);
    o->done = nullptr;
  }
  WavePathFor(item, where, whereRoom);
  return wavOpen(&o->wav, where, channels, rate);
}

// Sends one buffer of samples to the device (waiting for a free header) or the file.
int WriteOutput(Output *o, const int16_t *samples, size_t count, volatile LONG *stop) {
  if (!o->useDevice) return wavWrite(&o->wav, samples, count);
  WAVEHDR *h = &o->headers[o->next];
  while (!(h->dwFlags & WHDR_DONE)) {
    if (*stop) return 1;
    WaitForSingleObject(o->done, 200);
  }
  if (h->dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(o->device, h, sizeof *h);
  size_t bytes = count * sizeof(int16_t);
  memcpy(o->buffers[o->next], samples, bytes);
  memset(h, 0, sizeof *h);
  h->lpData = reinterpret_cast<LPSTR>(o->buffers[o->next]);
  h->dwBufferLength = (DWORD)bytes;
  if (waveOutPrepareHeader(o->device, h, sizeof *h) != MMSYSERR_NOERROR) return 0;
  if (waveOutWrite(o->device, h, sizeof *h) != MMSYSERR_NOERROR) return 0;
  o->next = (o->next + 1) % 4;
  return 1;
}

int CloseOutput(Output *o, int stopped) {
  if (!o->useDevice) return wavClose(&o->wav);
  if (stopped) waveOutReset(o->device);
  for (int i = 0; i < 4; ++i) {
    while (!(o->headers[i].dwFlags & WHDR_DONE) && (o->headers[i].dwFlags & WHDR_PREPARED))
      WaitForSingleObject(o->done, 200);
    if (o->headers[i].dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(o->device, &o->headers[i], sizeof(WAVEHDR));
    free(o->buffers[i]);
  }
  waveOutClose(o->device);
  CloseHandle(o->done);
  return 1;
}

// ---- playing ----------------------------------------------------------------

struct PlayJob {
  Player *p;
  int index;
  LONG generation;
};

// Decodes one clip to the output; answers 1 when it played to its end.
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
  } else if (link.init(44100, 2, &samplesPerFrame) != 0 || samplesPerFrame != 2 * kSamplesPerChannel) {
    Log("PlayFailed\t%s\tthe decoder refused the stream", item);
    closeDecoderLink(&link);
  } else {
    int rate = streamRate(first.fscod, first.bsid);
    char where[MAX_PATH];
    Output out;
    if (!OpenOutput(&out, item, 2, rate, where, sizeof where)) {
      Log("PlayFailed\t%s\tcannot write %s", item, where);
    } else {
      static uint8_t frame[MAX_FRAME_BYTES];
      static int16_t pcm[kFramesPerBuffer * 2 * kSamplesPerChannel];
      long frames = 0, errors = 0;
      int inBuffer = 0, ok = 1;
      for (;;) {
        if (p->stop) break;
        FrameSpot spot;
        ScanResult r = scanNext(&scan, &spot);
        if (r != SCAN_FRAME) {
          ended = 1;
          break;
        }
        if (copyFrameForLibrary(&scan, &spot, frame, sizeof frame) == 0) continue;
        if (link.decode(frame, pcm + inBuffer * samplesPerFrame, 1) != 0) ++errors;
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
    }
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

void StopPlaying(Player *p) {
  if (p->thread == nullptr) return;
  InterlockedExchange(&p->stop, 1);
  WaitForSingleObject(p->thread, INFINITE);
  CloseHandle(p->thread);
  p->thread = nullptr;
  InterlockedExchange(&p->playing, 0);
}

void SetStatus(Player *p, const char *text) {
  copyBounded(p->status, sizeof p->status, text);
  if (p->panel && !p->scanning) SetDlgItemTextA(p->panel, IDC_STATUS, text);
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

// ---- controls -------------------------------------------------------------

int ControlsHeight(uint32_t flags) {
  int h = 8 + 24 + 4 + 16;  // buttons and the position line
  if (flags & kControlsInfoVolume) h += 40;
  if (flags & kControlsPresets) h += 28;
  if (flags & kControlsStatusBar) h += 20;
  return h + 4;
}

const int kControlsWidth = 340;

void Layout(Player *p) {
  if (p->panel == nullptr) return;
  RECT c;
  GetClientRect(p->shell, &c);
  MoveWindow(p->panel, 0, 0, c.right, c.bottom, TRUE);
  int w = c.right;
  int y = 8;
  MoveWindow(GetDlgItem(p->panel, IDC_PLAY), 8, y, 60, 24, TRUE);
  MoveWindow(GetDlgItem(p->panel, IDC_STOP), 72, y, 60, 24, TRUE);
  y += 28;
  MoveWindow(GetDlgItem(p->panel, IDC_POSITION), 8, y, w - 16, 16, TRUE);
  y += 16;
  int info = (p->flags & kControlsInfoVolume) != 0;
  ShowWindow(GetDlgItem(p->panel, IDC_INFO), info ? SW_SHOW : SW_HIDE);
  ShowWindow(GetDlgItem(p->panel, IDC_VOLUME), info ? SW_SHOW : SW_HIDE);
  ShowWindow(GetDlgItem(p->panel, IDC_VOLUME_LABEL), info ? SW_SHOW : SW_HIDE);
  if (info) {
    MoveWindow(GetDlgItem(p->panel, IDC_INFO), 8, y + 2, w - 16, 16, TRUE);
    MoveWindow(GetDlgItem(p->panel, IDC_VOLUME_LABEL), 8, y + 20, 44, 16, TRUE);
    MoveWindow(GetDlgItem(p->panel, IDC_VOLUME), 56, y + 20, w - 64, 16, TRUE);
    y += 40;
  }
  int presets = (p->flags & kControlsPresets) != 0;
  for (int i = 0; i < 5; ++i) {
    HWND b = GetDlgItem(p->panel, IDC_PRESET_FIRST + i);
    ShowWindow(b, presets ? SW_SHOW : SW_HIDE);
    if (presets) MoveWindow(b, 8 + i * 64, y + 2, 60, 22, TRUE);
  }
  if (presets) y += 28;
  int status = (p->flags & kControlsStatusBar) != 0;
  ShowWindow(GetDlgItem(p->panel, IDC_STATUS), status ? SW_SHOW : SW_HIDE);
  if (status) MoveWindow(GetDlgItem(p->panel, IDC_STATUS), 0, c.bottom - 20, w, 20, TRUE);
}

void ShowPosition(Player *p, int tenths) {
  char text[128];
  snprintf(text, sizeof text, "%s  %d:%02d.%d", p->playing ? "Playing" : "Stopped", tenths / 600, (tenths / 10) % 60,
           tenths % 10);
  SetDlgItemTextA(p->panel, IDC_POSITION, text);
}

void UpdateStatistics(Player *p) {
  if (p->stats == nullptr) return;
  char text[256];
  snprintf(text, sizeof text, "Frames decoded: %ld\r\nBytes read: %ld\r\nClip %d of %d", (long)p->framesDecoded,
           (long)p->bytesRead, p->itemCount ? p->current + 1 : 0, p->itemCount);
  SetWindowTextA(GetWindow(p->stats, GW_CHILD), text);
}

void OnStarted(Player *p, int index, LONG generation) {
  if (generation != p->generation) return;
  char title[MAX_PATH];
  clipTitle(p->items[index], title, sizeof title);
  char info[512];
  snprintf(info, sizeof info, "%s  (%s)", title, p->items[index]);
  SetDlgItemTextA(p->panel, IDC_INFO, info);
  char status[300];
  snprintf(status, sizeof status, "Playing %s", title);
  SetStatus(p, status);
  ShowPosition(p, 0);
  // A local clip is reported with "file:" in front, as a location would be.
  char url[kClipTextSize + 8];
  if (sourceKind(p->items[index]) == kSourceLocal && _strnicmp(p->items[index], "file:", 5) != 0)
    snprintf(url, sizeof url, "file:%s", p->items[index]);
  else copyBounded(url, sizeof url, p->items[index]);
  Log("NowPlaying\t%s\t%s", title, url);
  if (p->client->setup.nowPlaying) p->client->setup.nowPlaying(nullptr, title, url);
}

void OnEnded(Player *p, int index, LPARAM code) {
  if (code / 4 != p->generation) return;
  int how = (int)(code % 4);
  if (p->thread) {
    WaitForSingleObject(p->thread, INFINITE);
    CloseHandle(p->thread);
    p->thread = nullptr;
  }
  UpdateStatistics(p);
  if (how == kClipComplete && index + 1 < p->itemCount) {
    StartItem(p, index + 1);
    return;
  }
  SetStatus(p, how == kClipFailed ? "Could not play the clip" : "Stopped");
  ShowPosition(p, 0);
  Log("Idle\t%d", index);
}

LRESULT CALLBACK PanelProc(HWND panel, UINT msg, WPARAM wParam, LPARAM lParam) {
  Player *p = reinterpret_cast<Player *>(GetWindowLongPtrA(panel, GWLP_USERDATA));
  switch (msg) {
    case WM_COMMAND:
      if (p == nullptr) break;
      if (LOWORD(wParam) == IDC_PLAY) StartItem(p, p->current);
      if (LOWORD(wParam) == IDC_STOP) StopPlaying(p);
      return 0;
    case WM_HSCROLL:
      if (p && (HWND)lParam == GetDlgItem(panel, IDC_VOLUME)) {
        int pos = GetScrollPos((HWND)lParam, SB_CTL);
        if (LOWORD(wParam) == SB_THUMBTRACK || LOWORD(wParam) == SB_THUMBPOSITION) pos = HIWORD(wParam);
        if (LOWORD(wParam) == SB_LINELEFT || LOWORD(wParam) == SB_PAGELEFT) pos -= 10;
        if (LOWORD(wParam) == SB_LINERIGHT || LOWORD(wParam) == SB_PAGERIGHT) pos += 10;
        pos = pos < 0 ? 0 : pos > 100 ? 100 : pos;
        SetScrollPos((HWND)lParam, SB_CTL, pos, TRUE);
        p->volume = pos;
      }
      return 0;
    case WM_OVUI_STARTED: OnStarted(p, (int)wParam, (LONG)lParam); return 0;
    case WM_OVUI_POSITION:
      ShowPosition(p, (int)wParam);
      UpdateStatistics(p);
      return 0;
    case WM_OVUI_ENDED: OnEnded(p, (int)wParam, lParam); return 0;
    case WM_CTLCOLORSTATIC: return (LRESULT)GetSysColorBrush(COLOR_WINDOW);
  }
  return DefWindowProcA(panel, msg, wParam, lParam);
}

HWND AddControl(HWND panel, const char *cls, const char *text, DWORD style, int id) {
  HWND h = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, panel, (HMENU)(INT_PTR)id,
                           g_module, nullptr);
  SendMessageA(h, WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), 0);
  return h;
}

void CreatePanel(Player *p) {
  p->panel = CreateWindowExA(0, kPanelClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 10, 10, p->shell,
                             nullptr, g_module, nullptr);
  if (p->panel == nullptr) return;
  SetWindowLongPtrA(p->panel, GWLP_USERDATA, (LONG_PTR)p);
  AddControl(p->panel, "BUTTON", "Play", BS_PUSHBUTTON, IDC_PLAY);
  AddControl(p->panel, "BUTTON", "Stop", BS_PUSHBUTTON, IDC_STOP);
  AddControl(p->panel, "STATIC", "Stopped  0:00.0", SS_LEFT, IDC_POSITION);
  AddControl(p->panel, "STATIC", "No clip", SS_LEFTNOWORDWRAP | SS_ENDELLIPSIS, IDC_INFO);
  AddControl(p->panel, "STATIC", "Volume", SS_LEFT, IDC_VOLUME_LABEL);
  HWND volume = AddControl(p->panel, "SCROLLBAR", "", SBS_HORZ, IDC_VOLUME);
  SetScrollRange(volume, SB_CTL, 0, 100, FALSE);
  SetScrollPos(volume, SB_CTL, p->volume, TRUE);
  const char *presets[] = {"Preset 1", "Preset 2", "Preset 3", "Preset 4", "Scan"};
  for (int i = 0; i < 5; ++i) AddControl(p->panel, "BUTTON", presets[i], BS_PUSHBUTTON, IDC_PRESET_FIRST + i);
  AddControl(p->panel, "STATIC", "Ready", SS_LEFT | SS_SUNKEN | SS_CENTERIMAGE, IDC_STATUS);
  Layout(p);
}

LRESULT CALLBACK StatsProc(HWND w, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CLOSE) {
    ShowWindow(w, SW_HIDE);
    Player *p = reinterpret_cast<Player *>(GetWindowLongPtrA(w, GWLP_USERDATA));
    if (p) p->statisticsShown = 0;
    return 0;
  }
  return DefWindowProcA(w, msg, wParam, lParam);
}

void RegisterClasses(void) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = PanelProc;
  wc.hInstance = g_module;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
  wc.lpszClassName = kPanelClass;
  RegisterClassA(&wc);
  wc.lpfnWndProc = StatsProc;
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = kStatsClass;
  RegisterClassA(&wc);
}

// ---- dialogs ----------------------------------------------------------------

INT_PTR CALLBACK AboutProc(HWND d, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    const ClientSetup *c = reinterpret_cast<const ClientSetup *>(lParam);
    char text[256];
    snprintf(text, sizeof text, "About %s", Text(c->title));
    SetWindowTextA(d, text);
    SetDlgItemTextA(d, IDC_ABOUT_NAME, Text(c->fullName));
    snprintf(text, sizeof text, "Version %s %s", Text(c->version), Text(c->release));
    SetDlgItemTextA(d, IDC_ABOUT_VERSION, text);
    SetDlgItemTextA(d, IDC_ABOUT_COPYRIGHT, Text(c->copyright));
    SetDlgItemTextA(d, IDC_ABOUT_ADDRESS, Text(c->webAddress));
    SetDlgItemTextA(d, IDC_ABOUT_PLATFORM, Text(c->platform));
    return TRUE;
  }
  if (msg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(d, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

void ReadPreference(const char *name, char *out, LONG room, const char *fallback) {
  char key[256];
  snprintf(key, sizeof key, "%s\\%s", kPrefsKey, name);
  LONG size = room;
  if (RegQueryValueA(HKEY_CLASSES_ROOT, key, out, &size) != ERROR_SUCCESS || out[0] == '\0')
    copyBounded(out, (size_t)room, fallback);
}

void WritePreference(const char *name, const char *value) {
  char key[256];
  snprintf(key, sizeof key, "%s\\%s", kPrefsKey, name);
  RegSetValueA(HKEY_CLASSES_ROOT, key, REG_SZ, value, (DWORD)strlen(value));
}

struct PreferenceField {
  int control;
  const char *name;
  const char *fallback;
};

const PreferenceField kPreferenceFields[] = {
    {IDC_PREF_CLIPS, "MaxClipCount", "4"},
    {IDC_PREF_LATENCY, "NetworkLatency", "3000"},
    {IDC_PREF_VOLUME, "Volume", "50"},
};

INT_PTR CALLBACK PreferencesProc(HWND d, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    const ClientSetup *c = reinterpret_cast<const ClientSetup *>(lParam);
    char text[256];
    snprintf(text, sizeof text, "%s Preferences", Text(c->title));
    SetWindowTextA(d, text);
    for (const PreferenceField &f : kPreferenceFields) {
      char value[32];
      ReadPreference(f.name, value, sizeof value, f.fallback);
      SetDlgItemTextA(d, f.control, value);
    }
    return TRUE;
  }
  if (msg == WM_COMMAND && LOWORD(wParam) == IDOK) {
    for (const PreferenceField &f : kPreferenceFields) {
      char value[32];
      GetDlgItemTextA(d, f.control, value, sizeof value);
      if (value[0]) WritePreference(f.name, value);
    }
    EndDialog(d, IDOK);
    return TRUE;
  }
  if (msg == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
    EndDialog(d, IDCANCEL);
    return TRUE;
  }
  return FALSE;
}

// ---- sources --------------------------------------------------------------

// The clip list of a source, or the source as one clip. Returns 0 with a reason
// when the source cannot be read.
int ResolveSource(Player *p, const char *text, char *why, size_t whyRoom) {
  p->itemCount = 0;
  p->current = 0;
  int maybeList = 1;
  if (sourceKind(text) == kSourceRemote) {
    const char *dot = strrchr(text, '.');
    maybeList = dot != nullptr && _stricmp(dot, ".txm") == 0;
  }
  if (maybeList) {
    Bytes b = {};
    if (!ReadSource(text, &b, why, whyRoom)) return 0;
    if (looksLikeClipList(b.data, b.size)) p->itemCount = parseClipList(b.data, b.size, p->items, kMaxClipItems);
    FreeBytes(&b);
    if (p->itemCount > 0) return 1;
  }
  copyBounded(p->items[0], sizeof p->items[0], text);
  p->itemCount = 1;
  return 1;
}

}  // namespace

// ---- exports ----------------------------------------------------------------

extern "C" {

int TXGUI_CALL TxguiSetupClient(const ClientSetup *setup, TxguiHandle *client) {
  const WindowCell *cell = setup ? setup->windowCell : nullptr;
  Log("TxguiSetupClient\tsize=%u\tplatform=%s\ttitle=%s\tfullName=%s\tversion=%s\trelease=%s\tcopyright=%s\t"
      "web=%s\tcell=%s\tcallbacks=%d%d%d%d",
      setup ? setup->size : 0, Text(setup ? setup->platform : nullptr), Text(setup ? setup->title : nullptr),
      Text(setup ? setup->fullName : nullptr), Text(setup ? setup->version : nullptr),
      Text(setup ? setup->release : nullptr), Text(setup ? setup->copyright : nullptr),
      Text(setup ? setup->webAddress : nullptr), cell && IsWindow((HWND)cell->window) ? "window" : "none",
      setup && setup->openInBrowser != nullptr, setup && setup->nowPlaying != nullptr,
      setup && setup->presetFromFile != nullptr, setup && setup->checkSettings != nullptr);
  if (setup == nullptr || client == nullptr || setup->size != sizeof(ClientSetup)) return 1;
  static int started = 0;
  if (!started) {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    RegisterClasses();
    started = 1;
  }
  Client *c = static_cast<Client *>(calloc(1, sizeof(Client)));
  if (c == nullptr) return 1;
  c->setup = *setup;
  *client = reinterpret_cast<TxguiHandle>(c);
  return 0;
}

int TXGUI_CALL TxguiNew(TxguiHandle client, TxguiHandle *player) {
  Log("TxguiNew\t%s", client ? "client" : "(null)");
  if (client == nullptr || player == nullptr) return 1;
  Player *p = static_cast<Player *>(calloc(1, sizeof(Player)));
  if (p == nullptr) return 1;
  p->client = reinterpret_cast<Client *>(client);
  p->volume = 50;
  *player = reinterpret_cast<TxguiHandle>(p);
  return 0;
}

#define PLAYER(h) Player *p = reinterpret_cast<Player *>(h)

int TXGUI_CALL TxguiSetReportError(TxguiHandle, int on) {
  Log("TxguiSetReportError\t%d", on);
  return 0;
}

int TXGUI_CALL TxguiSetConsoleName(TxguiHandle, const char *name, int unique) {
  Log("TxguiSetConsoleName\t%s\t%d", Text(name), unique);
  return EnvResult("OVUI3230_CONSOLE_RESULT", 0);
}

int TXGUI_CALL TxguiSetControlsFlags(TxguiHandle h, uint32_t flags) {
  PLAYER(h);
  Log("TxguiSetControlsFlags\t0x%X", (unsigned)flags);
  if (p == nullptr) return 1;
  p->flags = flags;
  Layout(p);
  return 0;
}

int TXGUI_CALL TxguiGetPreferedClientWidth(TxguiHandle h) {
  Log("TxguiGetPreferedClientWidth");
  return h ? kControlsWidth : 0;
}

int TXGUI_CALL TxguiGetPreferedClientHeight(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiGetPreferedClientHeight");
  return p ? ControlsHeight(p->flags) : 0;
}

int TXGUI_CALL TxguiResizeWindow(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiResizeWindow");
  if (p) Layout(p);
  return 0;
}

int TXGUI_CALL TxguiSetWindow(TxguiHandle h, WindowCell *cell) {
  PLAYER(h);
  Log("TxguiSetWindow\t%s", cell && IsWindow((HWND)cell->window) ? "window" : "none");
  if (p == nullptr || cell == nullptr || !IsWindow((HWND)cell->window)) return 1;
  p->shell = (HWND)cell->window;
  if (p->panel == nullptr) CreatePanel(p);
  return 0;
}

int TXGUI_CALL TxguiSetPlayMode(TxguiHandle h, int mode) {
  PLAYER(h);
  Log("TxguiSetPlayMode\t%d", mode);
  if (p) p->mode = mode;
  return 0;
}

int TXGUI_CALL TxguiSetSource(TxguiHandle h, const char *source) {
  PLAYER(h);
  Log("TxguiSetSource\t%s", Text(source));
  int forced = EnvResult("OVUI3230_SOURCE_RESULT", 0);
  if (forced != 0) return forced;
  if (p == nullptr || source == nullptr || source[0] == '\0') return 1;
  StopPlaying(p);
  char why[512] = "";
  if (!ResolveSource(p, source, why, sizeof why)) {
    Log("SourceFailed\t%s\t%s", source, why);
    SetStatus(p, why);
    return 2;
  }
  Log("SourceItems\t%d", p->itemCount);
  for (int i = 0; i < p->itemCount; ++i) Log("SourceItem\t%d\t%s", i, p->items[i]);
  return 0;
}

int TXGUI_CALL TxguiDoPlay(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiDoPlay");
  int forced = EnvResult("OVUI3230_PLAY_RESULT", 0);
  if (forced != 0) return forced;
  if (p == nullptr || p->itemCount == 0) return 1;
  return StartItem(p, p->current) ? 0 : 1;
}

int TXGUI_CALL TxguiShowAbout(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiShowAbout");
  if (p == nullptr) return 1;
  DialogBoxParamA(g_module, MAKEINTRESOURCEA(IDD_OVUI_ABOUT), p->shell, AboutProc, (LPARAM)&p->client->setup);
  return 0;
}

int TXGUI_CALL TxguiEditPreferences(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiEditPreferences");
  if (p == nullptr) return 1;
  INT_PTR r = DialogBoxParamA(g_module, MAKEINTRESOURCEA(IDD_OVUI_PREFERENCES), p->shell, PreferencesProc,
                              (LPARAM)&p->client->setup);
  Log("PreferencesClosed\t%s", r == IDOK ? "ok" : "cancel");
  if (r == IDOK && p->client->setup.checkSettings) {
    Log("CheckSettings");
    p->client->setup.checkSettings();
  }
  return 0;
}

int TXGUI_CALL TxguiHideShowStatistics(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiHideShowStatistics");
  if (p == nullptr) return 1;
  if (p->stats == nullptr) {
    RECT r;
    GetWindowRect(p->shell, &r);
    p->stats = CreateWindowExA(WS_EX_TOOLWINDOW, kStatsClass, "Statistics", WS_POPUP | WS_CAPTION | WS_SYSMENU, r.left,
                               r.bottom, 220, 90, p->shell, nullptr, g_module, nullptr);
    if (p->stats == nullptr) return 1;
    SetWindowLongPtrA(p->stats, GWLP_USERDATA, (LONG_PTR)p);
    HWND text =
        CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 6, 6, 200, 50, p->stats, nullptr, g_module, nullptr);
    SendMessageA(text, WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), 0);
  }
  p->statisticsShown = !p->statisticsShown;
  UpdateStatistics(p);
  ShowWindow(p->stats, p->statisticsShown ? SW_SHOWNOACTIVATE : SW_HIDE);
  return 0;
}

int TXGUI_CALL TxguiIsStatisticsVisible(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiIsStatisticsVisible");
  return p ? p->statisticsShown : 0;
}

int TXGUI_CALL TxguiCanStop(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiCanStop");
  return p ? (int)p->playing : 0;
}

int TXGUI_CALL TxguiHasNextItem(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiHasNextItem");
  return p && p->current + 1 < p->itemCount;
}

int TXGUI_CALL TxguiHasPrevItem(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiHasPrevItem");
  return p && p->current > 0 && p->itemCount > 0;
}

int TXGUI_CALL TxguiDoNextItem(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiDoNextItem");
  return p && StartItem(p, p->current + 1) ? 0 : 1;
}

int TXGUI_CALL TxguiDoPrevItem(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiDoPrevItem");
  return p && StartItem(p, p->current - 1) ? 0 : 1;
}

int TXGUI_CALL TxguiStatusScanStart(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiStatusScanStart");
  if (p) p->scanning = 1;
  return 0;
}

int TXGUI_CALL TxguiStatusScan(TxguiHandle h, const char *text) {
  PLAYER(h);
  Log("TxguiStatusScan\t%s", Text(text));
  if (p && p->panel) SetDlgItemTextA(p->panel, IDC_STATUS, text ? text : "");
  return 0;
}

int TXGUI_CALL TxguiStatusScanEnd(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiStatusScanEnd");
  if (p == nullptr) return 1;
  p->scanning = 0;
  if (p->panel) SetDlgItemTextA(p->panel, IDC_STATUS, p->status[0] ? p->status : "Ready");
  return 0;
}

int TXGUI_CALL TxguiSetPreset(TxguiHandle, intptr_t a, intptr_t b, const char *url, int flags) {
  Log("TxguiSetPreset\t%ld\t%ld\t%s\t%d", (long)a, (long)b, Text(url), flags);
  return 0;
}

int TXGUI_CALL TxguiDestroy(TxguiHandle h) {
  PLAYER(h);
  Log("TxguiDestroy\t%s", p ? "player" : "(null)");
  if (p == nullptr) return 1;
  StopPlaying(p);
  if (p->stats) DestroyWindow(p->stats);
  if (p->panel) DestroyWindow(p->panel);
  free(p);
  return 0;
}

int TXGUI_CALL TxguiShutdownClient(TxguiHandle h) {
  Log("TxguiShutdownClient\t%s", h ? "client" : "(null)");
  free(reinterpret_cast<Client *>(h));
  return 0;
}

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    InitializeCriticalSection(&g_logLock);
    InitializeCriticalSection(&g_decoderLock);
  }
  return TRUE;
}
