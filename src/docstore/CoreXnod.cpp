#include "docstore/CoreXnod.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

// Whether the trimmed, upper-cased name equals the key, without making either text: lookups
// run over every child, so they should not allocate.
bool keyEquals(const CoreXnod& node, const std::string& key) {
  const char* s = node.name().text();
  size_t begin = 0, end = std::strlen(s);
  while (begin < end && std::isspace(static_cast<unsigned char>(s[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(s[end - 1]))) --end;
  if (end - begin != key.size()) return false;
  for (size_t i = 0; i < key.size(); ++i)
    if (static_cast<char>(std::toupper(static_cast<unsigned char>(s[begin + i]))) != key[i])
      return false;
  return true;
}

// C strtol in base 10, the result held to the 32-bit range the way a 32-bit long saturates.
int32_t toInteger(const char* text) {
  errno = 0;
  const long v = std::strtol(text, nullptr, 10);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

}  // namespace

CoreXnod::CoreXnod(const CoreStrg& name) : name_(name) {}

CoreXnod::CoreXnod(CoreStrg&& name) : name_(std::move(name)) {}

// Subtrees are taken apart level by level on an explicit list, so a deeply nested document
// (hundreds of thousands of levels) is destroyed without deep recursion.
CoreXnod::~CoreXnod() {
  if (children_.empty()) return;
  std::vector<std::unique_ptr<CoreXnod>> pending = std::move(children_);
  children_.clear();
  while (!pending.empty()) {
    std::unique_ptr<CoreXnod> node = std::move(pending.back());
    pending.pop_back();
    for (auto& c : node->children_) pending.push_back(std::move(c));
    node->children_.clear();
  }
}

CoreXnod* CoreXnod::child(int32_t i) const {
  if (i < 0 || i >= childCount()) return nullptr;
  return children_[static_cast<size_t>(i)].get();
}

CoreXnod* CoreXnod::addChild(std::unique_ptr<CoreXnod> child) {
  if (!child) return nullptr;
  // The list grows geometrically rather than in steps of four entries: an archive index with
  // thousands of items would otherwise be copied over and over while it is parsed.
  children_.push_back(std::move(child));
  return children_.back().get();
}

std::unique_ptr<CoreXnod> CoreXnod::removeChild(int32_t i) {
  if (i < 0 || i >= childCount()) return nullptr;
  std::unique_ptr<CoreXnod> out = std::move(children_[static_cast<size_t>(i)]);
  children_.erase(children_.begin() + i);
  return out;
}

std::unique_ptr<CoreXnod> CoreXnod::clone() const {
  auto top = std::make_unique<CoreXnod>(name_);
  // Copy iteratively: pairs of (original, copy) whose children are still to be copied.
  std::vector<std::pair<const CoreXnod*, CoreXnod*>> work{{this, top.get()}};
  while (!work.empty()) {
    const auto [from, to] = work.back();
    work.pop_back();
    to->children_.reserve(from->children_.size());
    for (const auto& c : from->children_) {
      to->children_.push_back(std::make_unique<CoreXnod>(c->name_));
      if (!c->children_.empty()) work.emplace_back(c.get(), to->children_.back().get());
    }
  }
  return top;
}

// ---- lookups ----

CoreXnod* CoreXnod::findChild(const CoreStrg& tag) const {
  const std::string key = tag.key().str();
  for (auto it = children_.rbegin(); it != children_.rend(); ++it)
    if (keyEquals(**it, key)) return it->get();
  return nullptr;
}

CoreStrg CoreXnod::value() const {
  if (children_.empty()) return CoreStrg("0");
  return children_.front()->name_;
}

CoreStrg CoreXnod::childValue(const CoreStrg& tag) const {
  const CoreXnod* found = findChild(tag);
  return found ? found->value() : CoreStrg("0");
}

bool CoreXnod::hasValue(const CoreStrg& tag) const { return !(childValue(tag) == "0"); }

CoreStrg CoreXnod::readText(const CoreStrg& tag) const {
  const CoreStrg v = childValue(tag);
  if (v == "0") return CoreStrg("");
  return v.trim();
}

double CoreXnod::readReal(const CoreStrg& tag) const {
  const CoreStrg v = childValue(tag);
  if (v == "0" || v == "") return 0.0;
  const CoreStrg t = v.replaceChar(',', '.').trim();
  return parseCLocale(t.text(), nullptr);
}

int32_t CoreXnod::readInteger(const CoreStrg& tag) const {
  const CoreStrg v = childValue(tag);
  if (v == "0" || v == "") return 0;
  return toInteger(v.trim().text());
}

CoreStrg CoreXnod::readTextOr(const CoreStrg& tag, const CoreStrg& fallback) const {
  return hasValue(tag) ? readText(tag) : fallback;
}

double CoreXnod::readRealOr(const CoreStrg& tag, double fallback) const {
  return hasValue(tag) ? readReal(tag) : fallback;
}

int32_t CoreXnod::readIntegerOr(const CoreStrg& tag, int32_t fallback) const {
  if (!hasValue(tag)) return fallback;
  const double x = std::trunc(readReal(tag));
  // A value outside the 32-bit range (or not a number) cannot be converted as it stands; it is
  // held to the range, and NaN reads as 0.
  if (std::isnan(x)) return 0;
  if (x >= 2147483647.0) return INT32_MAX;
  if (x <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(x);
}

int32_t CoreXnod::countChildren(const CoreStrg& tag) const {
  const std::string key = tag.str();
  int32_t n = 0;
  for (const auto& c : children_)
    if (keyEquals(*c, key)) ++n;
  return n;
}

CoreStrg CoreXnod::nthChildValue(const CoreStrg& tag, int32_t n) const {
  const std::string key = tag.str();
  int32_t seen = 0;
  for (const auto& c : children_) {
    if (!keyEquals(*c, key)) continue;
    if (seen++ == n) return c->value().key();
  }
  return CoreStrg("");
}

// ---- paths ----

namespace {

int32_t firstMatch(const CoreXnod& node, const std::string& key) {
  for (int32_t i = 0; i < node.childCount(); ++i)
    if (keyEquals(*node.child(i), key)) return i;
  return -1;
}

// Walks the path; answers the parent of the last element and the last element's index in it
// (-1 when missing). Missing intermediate elements are made on the way.
CoreXnod* walkTo(CoreXnod* node, const std::vector<CoreStrg>& path, int32_t* index) {
  *index = -1;
  if (path.empty()) return nullptr;
  CoreXnod* current = node;
  for (size_t level = 0; level < path.size(); ++level) {
    const int32_t i = firstMatch(*current, path[level].key().str());
    if (level + 1 == path.size()) {
      *index = i;
      return current;
    }
    current = i >= 0 ? current->child(i) : current->addChild(CoreXnod::makeElement(path[level]));
  }
  return nullptr;
}

}  // namespace

CoreXnod* CoreXnod::walkPath(const std::vector<CoreStrg>& path) {
  int32_t index;
  CoreXnod* parent = walkTo(this, path, &index);
  return (parent && index >= 0) ? parent->child(index) : nullptr;
}

std::unique_ptr<CoreXnod> CoreXnod::takePath(const std::vector<CoreStrg>& path) {
  int32_t index;
  CoreXnod* parent = walkTo(this, path, &index);
  return (parent && index >= 0) ? parent->removeChild(index) : nullptr;
}

void CoreXnod::removePath(const std::vector<CoreStrg>& path) { takePath(path).reset(); }

void CoreXnod::setAtPath(const std::vector<CoreStrg>& path, std::unique_ptr<CoreXnod> element) {
  if (path.empty() || !element) return;
  int32_t index;
  CoreXnod* parent = walkTo(this, path, &index);  // makes the first k-1 elements when missing
  if (!parent) return;
  if (index >= 0) parent->removeChild(index).reset();
  parent->addChild(std::move(element));
}

void CoreXnod::setValueAtPath(const std::vector<CoreStrg>& path, std::unique_ptr<CoreXnod> value) {
  if (path.empty() || !value) return;
  auto element = makeElement(path.back());
  element->addChild(std::move(value));
  setAtPath(path, std::move(element));
}

// ---- node makers ----

std::unique_ptr<CoreXnod> CoreXnod::makeElement(const CoreStrg& name) {
  return std::make_unique<CoreXnod>(name);
}

std::unique_ptr<CoreXnod> CoreXnod::makeReal(double x) {
  char buffer[64];
  formatCLocale(buffer, sizeof buffer, "%G", x);
  for (char* c = buffer; *c; ++c)
    if (*c == ',') *c = '.';
  return std::make_unique<CoreXnod>(CoreStrg(static_cast<const char*>(buffer)));
}

std::unique_ptr<CoreXnod> CoreXnod::makeInteger(int32_t n) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%i", n);
  return std::make_unique<CoreXnod>(CoreStrg(static_cast<const char*>(buffer)));
}

std::unique_ptr<CoreXnod> CoreXnod::makeByte(uint8_t b) { return makeInteger(int32_t{b}); }

std::unique_ptr<CoreXnod> CoreXnod::makeValue(const CoreStrg& name, const CoreStrg& value) {
  auto element = makeElement(name);
  element->addChild(std::make_unique<CoreXnod>(value));
  return element;
}
