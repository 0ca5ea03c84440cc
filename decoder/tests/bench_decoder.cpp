// decoder_bench: decoding speed of the decoder core against libavcodec's AC-3 decoder.
//
//   decoder_bench [WORKDIR]
//
// Generates (once, with the ffmpeg program, into WORKDIR, default /tmp/decoder_bench) a
// 5.1 stream at 448 kb/s and 48 kHz and a 2/0 stream at 192 kb/s and 44.1 kHz, 60 seconds
// each, then decodes every stream in this one run with our core (through dbInitDecoder /
// dbDecode, stereo output) and with libavcodec (one thread, asked to downmix to stereo),
// best of seven alternating passes each, and prints one line per stream:
//   stream=NAME ours_fps=N peer_fps=N ratio=R      (R = ours / peer)
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <chrono>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include "decoder/interface.h"

namespace {

enum { kPasses = 7 };

struct Stream {
  const char* name;
  const char* file;
  const char* generate;  // ffmpeg arguments after the output-independent part
};

static const Stream kStreams[] = {
    {"5.1_448k_48k", "s51_448k_48k.ac3",
     "-f lavfi -i \"aevalsrc=0.20*sin(2*PI*220*t)+0.05*(random(0)-0.5)|0.20*sin(2*PI*331*t)*sin(2*PI*0.5*t)|"
     "0.15*sin(2*PI*(200+50*t)*t)|0.10*sin(2*PI*55*t)|0.08*(random(1)-0.5)|0.12*sin(2*PI*1250*t)*sin(2*PI*3*t)"
     ":c=5.1:s=48000:d=60\" -c:a ac3 -b:a 448k"},
    {"2.0_192k_44k", "s20_192k_44k.ac3",
     "-f lavfi -i \"aevalsrc=0.25*sin(2*PI*440*t)+0.05*(random(0)-0.5)|0.2*sin(2*PI*(100+40*t)*t)+0.05*(random(1)-0.5)"
     ":c=stereo:s=44100:d=60\" -c:a ac3 -b:a 192k"},
};

bool readFile(const std::string& path, std::vector<uint8_t>* data) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  uint8_t buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), f)) > 0) data->insert(data->end(), buf, buf + n);
  fclose(f);
  return true;
}

int frameBytes(const uint8_t* p) {
  static const int kbps[19] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 448, 512, 576, 640};
  int fscod = p[4] >> 6, code = p[4] & 0x3F;
  if (fscod == 3 || code > 37) return 0;
  int k = kbps[code >> 1];
  return 2 * (fscod == 0 ? 2 * k : fscod == 1 ? k * 96000 / 44100 + (code & 1) : 3 * k);
}

// Frames in A/52 byte order (for libavcodec) and in the library's word order (for ours).
struct Frames {
  std::vector<std::vector<uint8_t>> a52, words;
};

bool splitFrames(const std::vector<uint8_t>& data, Frames* out) {
  size_t pos = 0;
  while (pos + 6 <= data.size()) {
    if (data[pos] != 0x0B || data[pos + 1] != 0x77) return false;
    int n = frameBytes(&data[pos]);
    if (n == 0 || pos + n > data.size()) return false;
    std::vector<uint8_t> a(data.begin() + pos, data.begin() + pos + n);
    a.resize(n + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    std::vector<uint8_t> w(data.begin() + pos, data.begin() + pos + n);
    for (int i = 0; i + 1 < n; i += 2) std::swap(w[i], w[i + 1]);
    out->a52.push_back(a);
    out->words.push_back(w);
    pos += n;
  }
  return !out->a52.empty();
}

double seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

// Frames per second of our decoder, best of `passes`; -1 on a decoding error.
double oursFps(const Frames& f, int passes) {
  static short pcm[2 * 1536];
  double best = 0;
  for (int p = 0; p < passes; ++p) {
    int spf = 0;
    if (dbInitDecoder(44100, 2, &spf) != 0 || spf != 3072) return -1;
    auto t0 = std::chrono::steady_clock::now();
    for (const auto& fr : f.words)
      if (dbDecode(fr.data(), pcm, 1) != 0) {
        fprintf(stderr, "decoder_bench: our decoder reports an error at frame %ld (pass %d)\n",
                (long)(&fr - f.words.data()), p);
        return -1;
      }
    double s = seconds(t0, std::chrono::steady_clock::now());
    double fps = f.words.size() / s;
    if (fps > best) best = fps;
  }
  return best;
}

// Frames per second of libavcodec's AC-3 decoder with stereo downmix, best of `passes`;
// -1 when it cannot be set up or does not give stereo.
double peerFps(const Frames& f, int passes) {
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_AC3);
  if (!codec) return -1;
  double best = 0;
  for (int p = 0; p < passes; ++p) {
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->thread_count = 1;
    if (av_opt_set(ctx, "downmix", "stereo", AV_OPT_SEARCH_CHILDREN) < 0) {
      fprintf(stderr, "decoder_bench: libavcodec refuses the downmix option\n");
      return -1;
    }
    if (avcodec_open2(ctx, codec, nullptr) < 0) return -1;
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    long decoded = 0;
    int channels = 0;
    auto t0 = std::chrono::steady_clock::now();
    for (const auto& fr : f.a52) {
      pkt->data = const_cast<uint8_t*>(fr.data());
      pkt->size = (int)(fr.size() - AV_INPUT_BUFFER_PADDING_SIZE);
      if (avcodec_send_packet(ctx, pkt) < 0) break;
      while (avcodec_receive_frame(ctx, frame) == 0) {
        channels = frame->ch_layout.nb_channels;
        ++decoded;
      }
    }
    double s = seconds(t0, std::chrono::steady_clock::now());
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&ctx);
    if (channels != 2) {
      fprintf(stderr, "decoder_bench: libavcodec gave %d channels, not 2\n", channels);
      return -1;
    }
    if (decoded != (long)f.a52.size()) return -1;
    double fps = decoded / s;
    if (fps > best) best = fps;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = argc > 1 ? argv[1] : "/tmp/decoder_bench";
  mkdir(dir.c_str(), 0755);
  int status = 0;
  for (const Stream& s : kStreams) {
    std::string path = dir + "/" + s.file;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
      std::string cmd = "ffmpeg -hide_banner -loglevel error -y " + std::string(s.generate) + " '" + path + "'";
      if (system(cmd.c_str()) != 0) {
        fprintf(stderr, "decoder_bench: cannot generate %s\n", path.c_str());
        return 2;
      }
    }
    std::vector<uint8_t> data;
    Frames frames;
    if (!readFile(path, &data) || !splitFrames(data, &frames)) {
      fprintf(stderr, "decoder_bench: %s is not a stream of A/52 frames\n", path.c_str());
      return 2;
    }
    // Passes alternate between the two decoders, so that a change of load on a shared
    // machine hits both alike; the best pass of each counts.
    double ours = 0, peer = 0;
    for (int pass = 0; pass < kPasses && ours >= 0 && peer >= 0; ++pass) {
      double o = oursFps(frames, 1), p = peerFps(frames, 1);
      ours = o < 0 ? -1 : (o > ours ? o : ours);
      peer = p < 0 ? -1 : (p > peer ? p : peer);
    }
    if (ours <= 0 || peer <= 0) {
      fprintf(stderr, "decoder_bench: %s: a decoder failed (ours %.0f, peer %.0f)\n", s.name, ours, peer);
      status = 1;
      continue;
    }
    printf("stream=%s ours_fps=%.0f peer_fps=%.0f ratio=%.2f\n", s.name, ours, peer, ours / peer);
    fflush(stdout);
  }
  return status;
}
