// Helpers shared by the record store's tests: a fresh working directory per
// test, and site, category and text records built from plain values.
#pragma once

#include "sitelist/records/record_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include <process.h>
inline int TestProcessId() { return _getpid(); }
#else
#include <unistd.h>
inline int TestProcessId() { return (int)getpid(); }
#endif

// Runs each test in a directory of its own (the record files' working directory),
// named for the test and the process, so that runs of the same test from other
// build trees on this machine do not share it.
class RecordsDirTest : public ::testing::Test {
protected:
  void SetUp() override {
    old_ = std::filesystem::current_path();
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() / (std::string("tx_records_") + info->test_suite_name() + "_" +
                                                     info->name() + "_" + std::to_string(TestProcessId()));
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
    std::filesystem::create_directories(dir_);
    std::filesystem::current_path(dir_);
  }
  void TearDown() override {
    std::filesystem::current_path(old_);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  std::filesystem::path dir_, old_;
};

inline SiteRecord MakeSite(const char* location, const char* description, const char* category, int rating,
                           const char* keyword, const char* info = "") {
  SiteRecord s;
  ks_clear(&TABLNK_Decl, &s);
  SET_FIELD(s.Location, location);
  SET_FIELD(s.Description, description);
  SET_FIELD(s.Category, category);
  s.Rating = rating;
  SET_FIELD(s.Keyword, keyword);
  SET_MEMO(s.SiteInfo, info);
  return s;
}

inline CategoryRecord MakeCategory(const char* name, const char* description = "") {
  CategoryRecord c;
  ks_clear(&Categories_Decl, &c);
  SET_FIELD(c.Category, name);
  SET_MEMO(c.Description, description);
  return c;
}

inline CatHtmlRecord MakeText(const char* category, const char* type, const char* html) {
  CatHtmlRecord t;
  ks_clear(&CatHTML_Decl, &t);
  SET_FIELD(t.Category, category);
  SET_FIELD(t.TypeOfHTML, type);
  SET_MEMO(t.HTMLtoAdd, html);
  return t;
}

template <size_t N>
std::string Field(const char (&f)[N]) {
  char buf[N + 1];
  GetField(f, N, buf, sizeof buf);
  return buf;
}

// Reads a whole file through a cursor in key `key` (-1 physical) with a filter,
// returning the chosen field of every record.
template <typename Rec, typename Get>
std::vector<std::string> ReadAll(KsFile* f, int key, const char* filter, Get get) {
  std::vector<std::string> out;
  KsCursor* c = nullptr;
  EXPECT_EQ(KS_OK, ks_cursor_open(f, key, filter, &c));
  if (!c) return out;
  EXPECT_EQ(KS_OK, ks_set(c, nullptr));
  Rec r;
  int rc;
  while ((rc = ks_next(c, &r)) == KS_OK) out.push_back(get(r));
  EXPECT_EQ(KS_ERR_NO_RECORD, rc);
  ks_cursor_close(c);
  return out;
}

// Sites identified by their site information memo.
inline std::vector<std::string> SiteOrder(KsFile* f, int key, const char* filter = nullptr) {
  return ReadAll<SiteRecord>(f, key, filter, [](const SiteRecord& s) { return std::string(s.SiteInfo); });
}
