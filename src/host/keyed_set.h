// A keyed set of cell values, used for duplicate tests. Keys compare by type
// and value: texts exactly, character by character and case-sensitively;
// numbers by value; a text and a number are different keys even when the text
// reads as that number; the empty value is a key like any other.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_set>
#include <vector>

#include "host/value.h"

namespace kelvora::host {

class KeyedSet {
 public:
  bool Exists(const Value& key) const;
  // Adds the key. Adding a key that is present fails (error 457, as the
  // host's dictionary does); callers test Exists first.
  void Add(const Value& key);
  // Adds the key when absent; returns true when it was added.
  bool Insert(const Value& key);
  size_t Count() const { return keys_.size(); }
  // The keys in the order in which they were added.
  const std::vector<Value>& Keys() const { return keys_; }

 private:
  struct Key {
    ValueType type;
    double number;
    std::u16string text;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    size_t operator()(const Key& k) const;
  };
  static Key MakeKey(const Value& v);

  std::unordered_set<Key, KeyHash> set_;
  std::vector<Value> keys_;
};

}  // namespace kelvora::host
