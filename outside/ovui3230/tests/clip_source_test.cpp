// Native tests of the player library stand-in's parsing: locations, clip lists and
// HTTP answers.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "outside/ovui3230/clip_source.h"

namespace {

const uint8_t *bytes(const char *s) { return reinterpret_cast<const uint8_t *>(s); }

TEST(ClipSource, KindsAndLocalPaths) {
  EXPECT_EQ(sourceKind(""), kSourceNone);
  EXPECT_EQ(sourceKind("ovm://h/a.tx"), kSourceRemote);
  EXPECT_EQ(sourceKind("HTTP://h/a.tx"), kSourceRemote);
  EXPECT_EQ(sourceKind("c:\\a.tx"), kSourceLocal);
  EXPECT_EQ(sourceKind("file:c:\\a.tx"), kSourceLocal);
  char path[64];
  localPathOf("file:c:\\a.tx", path, sizeof path);
  EXPECT_STREQ(path, "c:\\a.tx");
  localPathOf("file://c:\\a.tx", path, sizeof path);
  EXPECT_STREQ(path, "c:\\a.tx");
  localPathOf("c:\\a.tx", path, sizeof path);
  EXPECT_STREQ(path, "c:\\a.tx");
}

TEST(ClipSource, Locations) {
  char host[kHostSize], path[kClipTextSize];
  int port = 0;
  ASSERT_TRUE(parseLocation("ovm://127.0.0.1:8123/clips/a.tx", host, sizeof host, &port, path, sizeof path));
  EXPECT_STREQ(host, "127.0.0.1");
  EXPECT_EQ(port, 8123);
  EXPECT_STREQ(path, "/clips/a.tx");
  ASSERT_TRUE(parseLocation("http://host", host, sizeof host, &port, path, sizeof path));
  EXPECT_STREQ(host, "host");
  EXPECT_EQ(port, 80);
  EXPECT_STREQ(path, "/");
  EXPECT_FALSE(parseLocation("ftp://host/a", host, sizeof host, &port, path, sizeof path));
  EXPECT_FALSE(parseLocation("ovm:///a", host, sizeof host, &port, path, sizeof path));
  EXPECT_FALSE(parseLocation("ovm://h:/a", host, sizeof host, &port, path, sizeof path));
  EXPECT_FALSE(parseLocation("ovm://h:0/a", host, sizeof host, &port, path, sizeof path));
  EXPECT_FALSE(parseLocation("ovm://h:65536/a", host, sizeof host, &port, path, sizeof path));
  EXPECT_FALSE(parseLocation("ovm://h:80x/a", host, sizeof host, &port, path, sizeof path));
  std::string longHost = "ovm://" + std::string(kHostSize, 'h') + "/a";
  EXPECT_FALSE(parseLocation(longHost.c_str(), host, sizeof host, &port, path, sizeof path));
}

TEST(ClipSource, ClipLists) {
  const char text[] = "\r\nfile:c:\\a.tx\r\n  ovm://h/b.tx  \r\n# a remark\r\n\r\nhttp://h/c.tx\nnot a clip\r\n";
  EXPECT_TRUE(looksLikeClipList(bytes(text), strlen(text)));
  static char items[kMaxClipItems][kClipTextSize];
  ASSERT_EQ(parseClipList(bytes(text), strlen(text), items, kMaxClipItems), 3);
  EXPECT_STREQ(items[0], "file:c:\\a.tx");
  EXPECT_STREQ(items[1], "ovm://h/b.tx");
  EXPECT_STREQ(items[2], "http://h/c.tx");
  EXPECT_EQ(parseClipList(bytes(text), strlen(text), items, 2), 2);
  const uint8_t frame[] = {0x0B, 0x77, 0x12, 0x34};
  EXPECT_FALSE(looksLikeClipList(frame, sizeof frame));
  EXPECT_FALSE(looksLikeClipList(bytes("fil"), 3));
  std::string longLine = "file:" + std::string(kClipTextSize, 'x') + "\r\nfile:b\r\n";
  ASSERT_EQ(parseClipList(bytes(longLine.c_str()), longLine.size(), items, kMaxClipItems), 1);
  EXPECT_STREQ(items[0], "file:b");
}

TEST(ClipSource, HttpAnswers) {
  const char ok[] = "HTTP/1.0 200 OK\r\nContent-Type: audio/x-tx\r\nContent-Length: 4\r\n\r\nabcdEXTRA";
  int status = 0;
  size_t offset = 0, length = 0;
  ASSERT_TRUE(parseHttpAnswer(bytes(ok), strlen(ok), &status, &offset, &length));
  EXPECT_EQ(status, 200);
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(memcmp(ok + offset, "abcd", 4), 0);
  const char noLength[] = "HTTP/1.1 404 Not Found\r\n\r\ngone";
  ASSERT_TRUE(parseHttpAnswer(bytes(noLength), strlen(noLength), &status, &offset, &length));
  EXPECT_EQ(status, 404);
  EXPECT_EQ(length, 4u);
  const char longer[] = "HTTP/1.0 200 OK\r\nContent-Length: 99\r\n\r\nab";
  ASSERT_TRUE(parseHttpAnswer(bytes(longer), strlen(longer), &status, &offset, &length));
  EXPECT_EQ(length, 2u);  // never past what arrived
  EXPECT_FALSE(parseHttpAnswer(bytes("HTTP/1.0 200 OK\r\n"), 17, &status, &offset, &length));
  EXPECT_FALSE(parseHttpAnswer(bytes("SMTP 220 hi\r\n\r\n"), 15, &status, &offset, &length));
  EXPECT_FALSE(parseHttpAnswer(bytes("HTTP/1.0 2x0 OK\r\n\r\n"), 19, &status, &offset, &length));
}

TEST(ClipSource, Titles) {
  char t[64];
  clipTitle("ovm://host/clips/news.tx", t, sizeof t);
  EXPECT_STREQ(t, "news.tx");
  clipTitle("file:c:\\clips\\a.tx", t, sizeof t);
  EXPECT_STREQ(t, "a.tx");
  clipTitle("ovm://host/dir/", t, sizeof t);
  EXPECT_STREQ(t, "dir");
  clipTitle("plain", t, sizeof t);
  EXPECT_STREQ(t, "plain");
}

}  // namespace
