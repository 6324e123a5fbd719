// Scripted platform services for tests: a clipboard held in memory (text and
// HTML), a message box that records every message and answers from a
// script, and a locale that records calls.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "host/error.h"
#include "host/platform.h"

namespace kelvora::host {

class ScriptedClipboard : public Clipboard {
 public:
  std::u16string GetText() override { return text_; }
  std::optional<std::string> GetHtml() override { return html_; }
  void SetText(const std::u16string& text) override {
    if (fail_writes_) throw CommandError(521, "Can't open Clipboard");
    text_ = text;
  }

  void set_text(std::u16string t) { text_ = std::move(t); }
  void set_html(std::optional<std::string> html) { html_ = std::move(html); }
  const std::u16string& text() const { return text_; }
  // When set, SetText fails as a busy clipboard does.
  void set_fail_writes(bool fail) { fail_writes_ = fail; }

 private:
  std::u16string text_;
  std::optional<std::string> html_;
  bool fail_writes_ = false;
};

struct ShownMessage {
  std::u16string text, caption;
  int32_t style;
};

class ScriptedMessageBox : public MessageBox {
 public:
  // Answers given in order; when none is left, OK (1) for boxes without Yes
  // and No, else No (7).
  int32_t Show(const std::u16string& text, const std::u16string& caption, int32_t style) override {
    shown_.push_back({text, caption, style});
    if (answers_.empty()) return (style & 0xF) == 4 || (style & 0xF) == 3 ? 7 : 1;
    const int32_t a = answers_.front();
    answers_.pop_front();
    return a;
  }
  void QueueAnswer(int32_t button) { answers_.push_back(button); }
  const std::vector<ShownMessage>& shown() const { return shown_; }
  void clear() { shown_.clear(); }

 private:
  std::deque<int32_t> answers_;
  std::vector<ShownMessage> shown_;
};

class RecordingLocale : public Locale {
 public:
  void SetShortDateFormat(uint32_t lcid, const std::string& format) override {
    calls_.push_back({lcid, format});
  }
  struct Call {
    uint32_t lcid;
    std::string format;
  };
  const std::vector<Call>& calls() const { return calls_; }

 private:
  std::vector<Call> calls_;
};

// All three, and the platform that hands them to a session.
struct ScriptedPlatform {
  ScriptedClipboard clipboard;
  ScriptedMessageBox messages;
  RecordingLocale locale;
  Platform services() { return {&clipboard, &messages, &locale}; }
};

}  // namespace kelvora::host
