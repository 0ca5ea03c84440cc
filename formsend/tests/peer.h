// formsend tests: a scripted SMTP peer on a real TCP socket (127.0.0.1, a free port),
// run on a thread of the test. It greets, answers each command by its word, records
// the command lines and the message, and can close, stall or answer in packets.
#ifndef FORMSEND_TESTS_PEER_H
#define FORMSEND_TESTS_PEER_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

// An answer: packets sent 50 ms apart; kClose closes; kStall waits until the end.
struct Answer {
  std::vector<std::string> packets;
  int action = 0;
  enum { kSend = 0, kClose = 1, kStall = 2 };
  Answer() {}
  Answer(const char *text) : packets{text} {}
  Answer(std::initializer_list<std::string> p) : packets(p) {}
  static Answer close() {
    Answer a;
    a.action = kClose;
    return a;
  }
  static Answer stall() {
    Answer a;
    a.action = kStall;
    return a;
  }
};

class ScriptedPeer {
public:
  Answer greeting = "220 peer ready\r\n";
  std::map<std::string, Answer> replies = {{"HELO", "250 peer\r\n"},    {"MAIL", "250 OK\r\n"},
                                           {"RCPT", "250 OK\r\n"},      {"DATA", "354 go\r\n"},
                                           {"MESSAGE", "250 sent\r\n"}, {"QUIT", "221 bye\r\n"}};
  std::vector<std::string> refused;  // RCPT TO lines answered "550 unknown"
  std::vector<std::string> commands;
  std::string message;
  int port = 0;

  ScriptedPeer() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a;
    memset(&a, 0, sizeof(a));
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, (sockaddr *)&a, sizeof(a));
    socklen_t n = sizeof(a);
    getsockname(listener_, (sockaddr *)&a, &n);
    port = ntohs(a.sin_port);
    listen(listener_, 1);
  }
  ~ScriptedPeer() {
    stop_ = true;
    if (thread_.joinable()) { thread_.join(); }
    close(listener_);
  }
  void start() {
    thread_ = std::thread([this] { serve(); });
  }
  void wait() {
    if (thread_.joinable()) { thread_.join(); }
  }

private:
  int listener_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::string pending_;

  bool answer(int c, const Answer &a) {
    if (a.action == Answer::kClose) { return false; }
    if (a.action == Answer::kStall) {
      while (!stop_) { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }
      return false;
    }
    for (size_t i = 0; i < a.packets.size(); ++i) {
      if (i) { std::this_thread::sleep_for(std::chrono::milliseconds(50)); }
      send(c, a.packets[i].data(), a.packets[i].size(), MSG_NOSIGNAL);
    }
    return true;
  }
  bool readUntil(int c, const std::string &marker, std::string *out) {
    while (pending_.find(marker) == std::string::npos) {
      pollfd p = {c, POLLIN, 0};
      if (stop_) { return false; }
      if (poll(&p, 1, 20) <= 0) { continue; }
      char buf[4096];
      ssize_t n = recv(c, buf, sizeof(buf), 0);
      if (n <= 0) { return false; }
      pending_.append(buf, (size_t)n);
    }
    size_t end = pending_.find(marker) + marker.size();
    *out = pending_.substr(0, end);
    pending_.erase(0, end);
    return true;
  }
  void serve() {
    pollfd p = {listener_, POLLIN, 0};
    while (!stop_ && poll(&p, 1, 20) <= 0) {}
    if (stop_) { return; }
    int c = accept(listener_, NULL, NULL);
    if (answer(c, greeting)) {
      std::string line;
      while (readUntil(c, "\r\n", &line)) {
        line.resize(line.size() - 2);
        commands.push_back(line);
        std::string verb = line.substr(0, line.find_first_of(" :"));
        bool refuse = false;
        for (const std::string &r : refused) { refuse = refuse || line == "RCPT TO: " + r; }
        if (!answer(c, refuse ? Answer("550 unknown\r\n") : replies[verb])) { break; }
        std::string joined;
        for (const std::string &s : replies[verb].packets) { joined += s; }
        if (verb == "DATA" && joined[0] == '3') {
          if (!readUntil(c, "\r\n.\r\n", &message) || !answer(c, replies["MESSAGE"])) { break; }
        }
        if (verb == "QUIT") { break; }
      }
    }
    close(c);
  }
};

#endif
