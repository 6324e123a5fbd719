#include "terminal_platform.h"

#include <sys/wait.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <string_view>

#include "host/message.h"
#include "i18n.h"
#include "text/utf.h"

namespace kelvora::tool {
namespace {

bool OnPath(const char* program) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return false;
  std::string_view p(path);
  while (!p.empty()) {
    const size_t colon = p.find(':');
    const std::string dir(p.substr(0, colon));
    const std::string full = (dir.empty() ? "." : dir) + "/" + program;
    if (access(full.c_str(), X_OK) == 0) return true;
    if (colon == std::string_view::npos) break;
    p.remove_prefix(colon + 1);
  }
  return false;
}

bool HasEnv(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != 0;
}

constexpr size_t kMaxClipboardBytes = size_t{64} << 20;

}  // namespace

DesktopClipboard::DesktopClipboard() {
  if (HasEnv("WAYLAND_DISPLAY") && OnPath("wl-paste") && OnPath("wl-copy")) {
    reader_ = "wl-paste --no-newline";
    html_reader_ = "wl-paste --no-newline --type text/html";
    writer_ = "wl-copy";
  } else if (HasEnv("DISPLAY") && OnPath("xclip")) {
    reader_ = "xclip -o -selection clipboard";
    html_reader_ = "xclip -o -selection clipboard -t text/html";
    writer_ = "xclip -i -selection clipboard";
  } else if (HasEnv("DISPLAY") && OnPath("xsel")) {
    reader_ = "xsel --clipboard --output";
    writer_ = "xsel --clipboard --input";
  }
}

std::optional<std::string> DesktopClipboard::Read(const std::string& mime) const {
  const std::string& cmd = mime == "text/html" ? html_reader_ : reader_;
  if (cmd.empty()) return std::nullopt;
  FILE* p = popen((cmd + " 2>/dev/null").c_str(), "r");
  if (p == nullptr) return std::nullopt;
  std::string out;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) {
    out.append(buf, n);
    if (out.size() > kMaxClipboardBytes) break;
  }
  const int rc = pclose(p);
  if (rc != 0 || out.empty()) return std::nullopt;
  return out;
}

bool DesktopClipboard::Write(const std::string& utf8) const {
  if (writer_.empty()) return false;
  FILE* p = popen((writer_ + " >/dev/null 2>&1").c_str(), "w");
  if (p == nullptr) return false;
  const bool wrote = fwrite(utf8.data(), 1, utf8.size(), p) == utf8.size();
  return pclose(p) == 0 && wrote;
}

std::u16string TerminalClipboard::GetText() {
  if (text_) return *text_;
  if (text_of_html_ && html_set_) {
    text_ = html_ ? text_of_html_(*html_) : std::u16string();
    return *text_;
  }
  if (desktop_ != nullptr) {
    if (auto t = desktop_->Read("text/plain")) text_ = Utf8ToUtf16(*t);
  }
  if (!text_) text_ = std::u16string();
  return *text_;
}

std::optional<std::string> TerminalClipboard::GetHtml() {
  if (!html_set_ && desktop_ != nullptr) set_html(desktop_->Read("text/html"));
  return html_;
}

void TerminalClipboard::SetText(const std::u16string& text) {
  written_ = text;
  text_ = text;
  if (desktop_ != nullptr) desktop_->Write(Utf16ToUtf8(text));
}

int32_t TerminalMessageBox::Show(const std::u16string& text, const std::u16string& caption,
                                 int32_t style) {
  const int32_t buttons = (style - kMbSystemModal) & 0xF;
  if (buttons != kMbYesNo && quiet_) return kIdOk;
  std::string body = Utf16ToUtf8(text);
  // Two-line messages carry CR LF; the terminal wants LF alone.
  for (size_t at; (at = body.find("\r\n")) != std::string::npos;) body.erase(at, 1);
  std::cerr << Utf16ToUtf8(caption) << ": " << body;
  if (buttons != kMbYesNo) {
    std::cerr << '\n';
    return kIdOk;
  }
  Answer answer = answer_;
  if (answer == Answer::kAsk && isatty(STDIN_FILENO)) {
    // TRANSLATORS: the answers read as Yes are y, yes, c, co and có.
    std::cerr << ' ' << _("[y/N]") << ' ' << std::flush;
    std::string line;
    if (std::getline(std::cin, line)) {
      while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
      const std::string l = line;
      if (l == "y" || l == "Y" || l == "yes" || l == "Yes" || l == "YES" || l == "c" || l == "C" ||
          l == "co" || l == "Co" || l == "có" || l == "Có") {
        return kIdYes;
      }
    }
    return kIdNo;
  }
  const bool yes = answer == Answer::kYes;
  std::cerr << " -> "
            << (yes                     ? _("Yes (--yes)")
                : answer == Answer::kNo ? _("No (--no)")
                                        : _("No"))
            << '\n';
  return yes ? kIdYes : kIdNo;
}

bool OpenInBrowser(const std::string& path) {
  if (!(HasEnv("DISPLAY") || HasEnv("WAYLAND_DISPLAY")) || !OnPath("xdg-open")) return false;
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    // The browser outlives the tool; its output is not the tool's.
    std::freopen("/dev/null", "w", stdout);
    std::freopen("/dev/null", "w", stderr);
    execlp("xdg-open", "xdg-open", path.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string ExecutableDir() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  const std::string path(buf, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/'));
}

bool LooksLikeHtml(std::string_view bytes) {
  size_t i = 0;
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") i = 3;
  while (i < bytes.size() &&
         (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
    ++i;
  if (i < bytes.size() && bytes[i] == '<') return true;
  // A clipboard fragment starts with its header ("Version:0.9 StartHTML:...").
  return bytes.substr(i, 8) == "Version:" && bytes.find("StartFragment") != std::string_view::npos;
}

void KeepFreedMemoryForTheRun() {
#if defined(__GLIBC__)
  mallopt(M_ARENA_MAX, 1);
  // Blocks up to the largest this setting allows come from the heap, and
  // the heap's top is never trimmed: a run frees little before its end.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
#endif
}

}  // namespace kelvora::tool
