// The floor of a page's intake: Gumbo alone parses the page and frees its
// tree, with Gumbo's default options, and nothing else. bench/large_intake.py
// runs it on the page the intake takes in and prints its time and peak
// memory beside the intake's.
//
// Usage: gumbo_parse PAGE
#include <gumbo.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: gumbo_parse PAGE\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "gumbo_parse: cannot read %s\n", argv[1]);
    return 1;
  }
  const std::string page{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size());
  gumbo_destroy_output(&kGumboDefaultOptions, output);
  return 0;
}
