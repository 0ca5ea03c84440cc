// libFuzzer target over the script's untrusted texts: check-sum lines, lengths,
// file references and command expansion. The input's first line is a check-sum and
// length text, the second a GroupPath, the third an F1 value, the rest a command.
#include <stdint.h>
#include <string.h>

#include <string>

#include "setup/control_sums.h"
#include "setup/file_refs.h"
#include "setup/tests/table_profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string in((const char *)data, size);
  std::string lines[4];
  size_t at = 0;
  for (int i = 0; i < 3; ++i) {
    size_t nl = in.find('\n', at);
    if (nl == std::string::npos) nl = in.size();
    lines[i] = in.substr(at, nl - at);
    at = nl < in.size() ? nl + 1 : nl;
  }
  lines[3] = in.substr(at);
  for (std::string &l : lines) l = l.c_str();  // stop at an embedded zero

  uint8_t sums[kSumCount];
  parseControlSums(lines[0].c_str(), sums);
  long long length;
  parseFileLength(lines[0].c_str(), &length);

  TableProfile t;
  t.set("G", "GroupPath", lines[1].c_str());
  t.set("G", "F1", lines[2].c_str());
  t.set("G", "Type", "SHARED");
  RefContext c{&t.script, "C:\\Dest\\", "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM"};
  char out[kPathSize], args[kPathSize];
  int type;
  resolveReference(&c, lines[3].c_str(), lines[3].size(), out, sizeof out, &type);
  expandCommand(&c, lines[3].c_str(), out, sizeof out, args, sizeof args);
  expandCommand(&c, lines[3].c_str(), out, 16, nullptr, 0);
  return 0;
}
