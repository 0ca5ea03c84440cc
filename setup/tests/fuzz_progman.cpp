// libFuzzer target over Program Manager's answers, which come from another program:
// the input's first line is a group name, a title or a file name, the rest an answer
// to a request ("GROUPS" or a group's own).
#include <stdint.h>
#include <string.h>

#include <string>

#include "setup/progman_commands.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string in((const char *)data, size);
  size_t nl = in.find('\n');
  std::string name = in.substr(0, nl == std::string::npos ? in.size() : nl).c_str();
  std::string answer = nl == std::string::npos ? "" : in.substr(nl + 1).c_str();
  char out[kPathSize], small[8];
  progmanGroupListed(answer.c_str(), name.c_str());
  progmanItemListed(answer.c_str(), name.c_str(), name.c_str());
  progmanFindProgram(answer.c_str(), name.c_str(), out, sizeof out);
  progmanFindProgram(answer.c_str(), name.c_str(), small, sizeof small);
  char command[kDdeCommandSize], title[kItemTitleMax + 1];
  progmanItemTitle(name.c_str(), answer.c_str(), title, sizeof title);
  progmanAddItem(name.c_str(), answer.c_str(), name.c_str(), command, sizeof command);
  progmanCreateGroup(name.c_str(), small, sizeof small);
  progmanFileName(name.c_str(), small, sizeof small);
  return 0;
}
