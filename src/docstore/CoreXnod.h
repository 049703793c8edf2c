// One node of the system's XML dialect: an element name with ordered children, or (with no
// children) a text leaf whose name is the text. The value of an element is its first child's
// name. Names are compared trimmed and upper-cased.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/CoreStrg.h"

class CoreXnod {
 public:
  explicit CoreXnod(const CoreStrg& name);
  explicit CoreXnod(CoreStrg&& name);
  ~CoreXnod();
  CoreXnod(const CoreXnod&) = delete;
  CoreXnod& operator=(const CoreXnod&) = delete;

  // ---- structure [any: one thread per document] ----
  const CoreStrg& name() const { return name_; }
  void setName(const CoreStrg& name) { name_ = name; }
  int32_t childCount() const { return static_cast<int32_t>(children_.size()); }
  CoreXnod* child(int32_t i) const;            // null out of range
  bool isText() const { return children_.empty(); }
  CoreXnod* addChild(std::unique_ptr<CoreXnod> child);  // appended; answers the child
  std::unique_ptr<CoreXnod> removeChild(int32_t i);     // later children move up
  std::unique_ptr<CoreXnod> clone() const;               // deep copy

  // ---- lookups ----
  CoreXnod* findChild(const CoreStrg& tag) const;  // the last child of that name, or null
  // The name of the first child of the found element; "0" when missing or empty.
  CoreStrg childValue(const CoreStrg& tag) const;
  bool hasValue(const CoreStrg& tag) const;        // child value is not exactly "0"
  CoreStrg readText(const CoreStrg& tag) const;    // trimmed; "0" (untrimmed) reads as ""
  double readReal(const CoreStrg& tag) const;      // ',' read as '.', strtod rules
  int32_t readInteger(const CoreStrg& tag) const;  // strtol rules, base 10
  CoreStrg readTextOr(const CoreStrg& tag, const CoreStrg& fallback) const;
  double readRealOr(const CoreStrg& tag, double fallback) const;
  int32_t readIntegerOr(const CoreStrg& tag, int32_t fallback) const;  // real, truncated
  // Children whose trimmed, upper-cased name equals the tag as passed (callers pass upper case).
  int32_t countChildren(const CoreStrg& tag) const;
  CoreStrg nthChildValue(const CoreStrg& tag, int32_t n) const;  // trimmed, upper-cased; ""
  // The value of this element (its first child's name), "0" when it has no children.
  CoreStrg value() const;

  // ---- paths ----
  // An empty path names nothing: the walks answer null and the setters do nothing.
  // The first match at every level; missing intermediate elements are made, the last one is not.
  CoreXnod* walkPath(const std::vector<CoreStrg>& path);
  std::unique_ptr<CoreXnod> takePath(const std::vector<CoreStrg>& path);  // removed, kept
  void removePath(const std::vector<CoreStrg>& path);                     // removed, destroyed
  // Replaces the element at the path (appended at the end of its parent).
  void setAtPath(const std::vector<CoreStrg>& path, std::unique_ptr<CoreXnod> element);
  // An element named like the last tag holding the value as its only child, then setAtPath.
  void setValueAtPath(const std::vector<CoreStrg>& path, std::unique_ptr<CoreXnod> value);

  // ---- node makers ----
  static std::unique_ptr<CoreXnod> makeElement(const CoreStrg& name);
  static std::unique_ptr<CoreXnod> makeReal(double x);     // "%G", '.' whatever the locale
  static std::unique_ptr<CoreXnod> makeInteger(int32_t n);  // "%i"
  static std::unique_ptr<CoreXnod> makeByte(uint8_t b);     // "%i" of the byte
  // An element holding one text leaf: <name> value </name>.
  static std::unique_ptr<CoreXnod> makeValue(const CoreStrg& name, const CoreStrg& value);

 private:
  CoreStrg name_;
  std::vector<std::unique_ptr<CoreXnod>> children_;
};
