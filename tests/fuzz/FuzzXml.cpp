// Fuzzes the XML parser, the typed readers and the writer. Text that the writer produced must
// parse again, and from then on parsing and writing must give back the same text.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/CoreAnsx.h"
#include "docstore/CoreXmld.h"
#include "docstore/CoreXnod.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

std::string reparse(const std::string& text, bool indent) {
  CoreXmld doc;
  try {
    doc.parseText(text.data(), text.size());
  } catch (const CoreAnsx&) {
    std::abort();  // the writer never writes an unbalanced closing tag
  }
  check(doc.root() != nullptr || text == "0");
  return doc.root() ? CoreXmld::serializeString(*doc.root(), indent, false) : std::string();
}

void readEverything(const CoreXnod& node) {
  const int32_t count = node.childCount() < 64 ? node.childCount() : 64;
  for (int32_t i = 0; i < count; ++i) {
    const CoreStrg& tag = node.child(i)->name();
    (void)node.findChild(tag);
    (void)node.hasValue(tag);
    (void)node.readText(tag);
    (void)node.readReal(tag);
    (void)node.readInteger(tag);
    (void)node.readIntegerOr(tag, -7);
    (void)node.readRealOr(tag, 0.5);
    (void)node.readTextOr(tag, CoreStrg("x"));
    const int32_t n = node.countChildren(tag.key());
    check(n >= 0);
    (void)node.nthChildValue(tag.key(), n > 0 ? n - 1 : 0);
  }
}

// A tree the writer can always write faithfully, built from the bytes: names begin with a letter
// and hold no "<" or ">", values hold no "<", and every element ends with either one text leaf or
// elements only. Its text must read back to the same text under every flag.
std::unique_ptr<CoreXnod> buildTree(const uint8_t* data, size_t size) {
  auto root = CoreXnod::makeElement(CoreStrg("ROOT"));
  std::vector<CoreXnod*> open{root.get()};
  size_t at = 0;
  auto text = [&](bool name) {
    std::string t;
    const size_t n = at < size ? data[at++] % 9 : 0;
    for (size_t i = 0; i < n && at < size; ++i) {
      char c = static_cast<char>(data[at++] % 96 + 32);
      if (c == 127) c = '\t';
      if (c == '<' || (name && c == '>')) c = '_';
      t.push_back(c);
    }
    if (name) t.insert(t.begin(), static_cast<char>('A' + (n % 26)));
    return t;
  };
  while (at < size) {
    const uint8_t op = data[at++] % 3;
    CoreXnod* top = open.back();
    if (op == 0 && open.size() < 64) {
      open.push_back(top->addChild(CoreXnod::makeElement(CoreStrg(text(true)))));
    } else if (op == 1 && open.size() > 1 && top->childCount() == 0) {
      top->addChild(std::make_unique<CoreXnod>(CoreStrg(text(false))));
      open.pop_back();
    } else if (op == 2 && open.size() > 1 && top->childCount() > 0) {
      open.pop_back();
    }
  }
  while (open.size() > 1) {  // close what is still open, each with a leaf when it is empty
    if (open.back()->childCount() == 0) open.back()->addChild(std::make_unique<CoreXnod>(CoreStrg("")));
    open.pop_back();
  }
  return root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto tree = buildTree(data, size);
  for (bool indent : {false, true})
    for (bool blankLine : {false, true}) {
      const std::string written = CoreXmld::serializeString(*tree, indent, blankLine);
      CoreXmld back;
      back.parseText(written.data(), written.size());
      check(CoreXmld::serializeString(*back.root(), indent, blankLine) == written);
    }

  CoreXmld doc;
  try {
    doc.parseText(reinterpret_cast<const char*>(data), size);
  } catch (const CoreAnsx&) {
    check(doc.root() == nullptr && !doc.loaded());
    return 0;
  }
  if (!doc.root()) return 0;
  readEverything(*doc.root());
  for (int32_t i = 0; i < doc.root()->childCount() && i < 8; ++i) readEverything(*doc.root()->child(i));

  for (bool indent : {false, true}) {
    const std::string once = CoreXmld::serializeString(*doc.root(), indent, false);
    const std::string twice = reparse(once, indent);
    check(reparse(twice, indent) == twice);
  }
  check(CoreXmld::serializeString(*doc.root(), false, false) ==
        CoreXmld::serializeString(*doc.root()->clone(), false, false));

  // Paths on a copy: walk, set and take what the first element names.
  auto copy = doc.root()->clone();
  if (copy->childCount() > 0) {
    const CoreStrg first = copy->child(0)->name();
    copy->walkPath({first, CoreStrg("X")});
    copy->setValueAtPath({first, CoreStrg("NAME")}, CoreXnod::makeReal(0.1));
    check(copy->walkPath({first, CoreStrg("NAME")}) != nullptr);
    copy->takePath({first});
  }
  return 0;
}
