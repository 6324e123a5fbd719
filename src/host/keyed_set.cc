#include "host/keyed_set.h"

#include <functional>

#include "host/error.h"

namespace kelvora::host {

KeyedSet::Key KeyedSet::MakeKey(const Value& v) {
  Key k{v.type(), 0.0, {}};
  switch (v.type()) {
    case ValueType::kEmpty:
      break;
    case ValueType::kNumber:
      k.number = v.number() == 0 ? 0.0 : v.number();  // -0 and 0 are one key
      break;
    case ValueType::kText:
      k.text = v.text();
      break;
    case ValueType::kBoolean:
      k.number = v.boolean() ? 1 : 0;
      break;
    case ValueType::kDate:
      k.number = v.date_serial();
      break;
    case ValueType::kError:
      k.number = v.error_code();
      break;
  }
  return k;
}

size_t KeyedSet::KeyHash::operator()(const Key& k) const {
  size_t h = std::hash<int>()(static_cast<int>(k.type));
  h ^= std::hash<double>()(k.number) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
  if (!k.text.empty()) {
    h ^= std::hash<std::u16string>()(k.text) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
  }
  return h;
}

bool KeyedSet::Exists(const Value& key) const { return set_.count(MakeKey(key)) != 0; }

void KeyedSet::Add(const Value& key) {
  if (!Insert(key))
    throw CommandError(457, "This key is already associated with an element of this collection");
}

bool KeyedSet::Insert(const Value& key) {
  if (!set_.insert(MakeKey(key)).second) return false;
  keys_.push_back(key);
  return true;
}

}  // namespace kelvora::host
