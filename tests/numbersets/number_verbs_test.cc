// The digest and numbers verbs of the command-line tool, run as a program.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

TEST(NumberVerbsTest, PrintsDigestsAndSets) {
  if (std::string(KELVORA_TOOL_PATH).empty()) GTEST_SKIP() << "the tool is not built";
  const std::tuple<const char*, int, const char*> cases[] = {
      {"digest abc", 0, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\n"},
      // UTF-8 input: U+0141 is one code unit, hashed as its low byte 0x41.
      {"digest \xC5\x81", 0, "559aead08264d5795d3909718cdd05abd49572e84fe55590eef31a88a08fdffd\n"},
      {"digest -- -abc", 0, "649d85fcc5d7e13d1217fc85fc746817f31c16fcf850002545dda492fd8caffc\n"},
      {"numbers --width 2 --size 3 abc", 0, "16,78,81\n"},
      {"numbers --width 1 --size 9 -- abc", 0, "0,1,2,3,4,5,6,7,8\n"},
      {"numbers --width 2 --size 0 abc", 2, ""},
      {"numbers --width 1 --size 11 abc", 2, ""},
      {"numbers --width 4 --size 1 abc", 2, ""},
      {"numbers --width 2 --size x abc", 2, ""},
      {"numbers --width 2 abc", 2, ""},
  };
  for (const auto& [args, status, out] : cases) {
    const std::string command = std::string("'") + KELVORA_TOOL_PATH + "' " + args + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string got;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) got.append(buffer, n);
    const int raw = pclose(pipe);
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, status) << args;
    EXPECT_EQ(got, out) << args;
  }
}

}  // namespace
