// A minimal check harness for the cross-built test program (no MinGW build
// of GoogleTest here); it ends with "<n> passed, <m> failed".
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace kelvora::testing {

struct CheckStats {
  int passed = 0;
  int failed = 0;
  std::string current_test;
};

inline CheckStats& Stats() {
  static CheckStats s;
  return s;
}

inline bool Check(bool ok, const char* file, int line, const std::string& what) {
  ++(ok ? Stats().passed : Stats().failed);
  if (!ok) {
    std::printf("FAILED [%s] %s:%d: %s\n", Stats().current_test.c_str(), file, line, what.c_str());
    std::fflush(stdout);
  }
  return ok;
}

struct TestCase {
  const char* name;
  void (*body)();
};

inline std::vector<TestCase>& Registry() {
  static std::vector<TestCase> r;
  return r;
}

inline bool Register(const char* name, void (*body)()) {
  Registry().push_back({name, body});
  return true;
}

}  // namespace kelvora::testing

#define KV_CAT2(a, b) a##b
#define KV_CAT(a, b) KV_CAT2(a, b)
#define TEST_CASE(name)                                                                     \
  static void name();                                                                       \
  static const bool KV_CAT(registered_, name) = ::kelvora::testing::Register(#name, &name); \
  static void name()

#define CHECK(cond) ::kelvora::testing::Check((cond), __FILE__, __LINE__, #cond)
#define CHECK_MSG(cond, msg) ::kelvora::testing::Check((cond), __FILE__, __LINE__, (msg))
// Each side is evaluated once.
#define CHECK_EQ(a, b)                                                             \
  [&](const auto& kv_a, const auto& kv_b) {                                        \
    return ::kelvora::testing::Check(kv_a == kv_b, __FILE__, __LINE__,             \
                                     std::string(#a " == " #b " (got ") +          \
                                         ::kelvora::testing::Show(kv_a) + " vs " + \
                                         ::kelvora::testing::Show(kv_b) + ")");    \
  }((a), (b))

namespace kelvora::testing {
inline std::string Show(const std::string& s) { return "\"" + s + "\""; }
template <typename T>
std::string Show(const T& v) {
  if constexpr (std::is_arithmetic_v<T> || std::is_enum_v<T>) {
    return std::to_string(static_cast<long long>(v));
  }
  return "?";
}
}  // namespace kelvora::testing
