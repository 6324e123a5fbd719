#include "i18n.h"

#include <langinfo.h>
#include <locale.h>

#include <clocale>
#include <filesystem>

#include "terminal_platform.h"

namespace kelvora::tool {

std::string Fill(std::string_view pattern, std::initializer_list<FillArg> args) {
  std::string out;
  out.reserve(pattern.size());
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '{' && i + 2 < pattern.size() && pattern[i + 2] == '}' &&
        pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
      const auto n = static_cast<size_t>(pattern[i + 1] - '1');
      if (n < args.size()) {
        out += args.begin()[n].text;
        i += 2;
        continue;
      }
    }
    out += pattern[i];
  }
  return out;
}

void StartLanguage() {
  // Only the messages' category follows the environment. LC_ALL would also
  // set LC_NUMERIC and LC_CTYPE, under which strtod, printf and the <cctype>
  // tests of the engine and of the JSON and CSV writers would read and write
  // numbers and letters otherwise than under "C" (a decimal comma under
  // vi_VN). The translations come out in UTF-8 whatever LC_CTYPE says, as
  // every other text of the tool does; a person's figures get the locale's
  // decimal mark through LocalDecimal() alone.
  std::setlocale(LC_MESSAGES, "");
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path bin = ExecutableDir();
  fs::path dir = KELVORA_LOCALEDIR;
  if (!bin.empty()) {
    if (fs::is_directory(bin / "locale", ec)) {
      dir = bin / "locale";  // the build tree
    } else if (fs::is_directory(bin / KELVORA_LOCALEDIR_FROM_BIN, ec)) {
      dir = bin / KELVORA_LOCALEDIR_FROM_BIN;  // an installed tree, wherever it lies
    }
  }
  bindtextdomain("kelvora", dir.c_str());
  bind_textdomain_codeset("kelvora", "UTF-8");
  textdomain("kelvora");
}

std::string LocalDecimal(std::string number) {
  static const std::string mark = [] {
    std::string m = ".";
    if (const locale_t numeric = newlocale(LC_NUMERIC_MASK, "", nullptr)) {
      if (const char* radix = nl_langinfo_l(RADIXCHAR, numeric); radix != nullptr && *radix)
        m = radix;
      freelocale(numeric);
    }
    return m;
  }();
  if (mark == ".") return number;
  for (size_t at = 0; (at = number.find('.', at)) != std::string::npos; at += mark.size())
    number.replace(at, 1, mark);
  return number;
}

}  // namespace kelvora::tool
