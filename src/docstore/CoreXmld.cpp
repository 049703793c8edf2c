#include "docstore/CoreXmld.h"

#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "base/CoreAnsx.h"
#include "base/CoreLogr.h"

namespace {

// Windows text-mode reading: every CR LF pair becomes LF.
std::string textMode(std::string bytes) {
  size_t out = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    bytes[out++] = bytes[i];
  }
  bytes.resize(out);
  return bytes;
}

std::string withoutNuls(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes)
    if (c != '\0') out.push_back(c);
  return out;
}

// A name or value holding "<" (or, in a name, ">") would end its element early and corrupt the
// rest of the file when read back. Such texts are written up to that character, which is all a
// reader could ever have seen of them; the cut is logged.
std::string_view writable(std::string_view text, const char* stops, const char* what) {
  const size_t cut = text.find_first_of(stops);
  if (cut == std::string_view::npos) return text;
  CoreLogr::error(CoreStrg("XML ") + what + " cut before '<' or '>': " +
                      CoreStrg(std::string(text)),
                  2);
  return text.substr(0, cut);
}

void appendIndent(std::string& out, bool indent, int32_t depth) {
  if (indent) out.append(static_cast<size_t>(depth) * 2, ' ');
}

}  // namespace

CoreXmld::CoreXmld() = default;

CoreXmld::~CoreXmld() = default;

void CoreXmld::clear() {
  if (!loaded_) return;
  root_.reset();
  loaded_ = false;
}

void CoreXmld::setRoot(std::unique_ptr<CoreXnod> root) {
  if (loaded_) root_.reset();
  root_ = std::move(root);
  loaded_ = true;
}

CoreXnod* CoreXmld::parseText(const CoreStrg& text) {
  return parseBytes(std::string_view(text.text(), static_cast<size_t>(text.length())));
}

CoreXnod* CoreXmld::parseText(const char* text, size_t length) {
  if (!text) return parseBytes(std::string_view());
  const std::string_view bytes(text, length);
  if (bytes.find('\0') == std::string_view::npos) return parseBytes(bytes);
  const std::string clean = withoutNuls(bytes);
  return parseBytes(clean);
}

CoreXnod* CoreXmld::loadFile(const CoreStrg& path, bool acceptWide) {
  clear();
  std::string bytes;
  FILE* f = path.openFile("rb");
  if (!f) return parseBytes("0");
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  std::fclose(f);

  bytes = textMode(std::move(bytes));
  if (acceptWide && bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE)
    return parseBytes(withoutNuls(std::string_view(bytes).substr(2)));
  return parseBytes(withoutNuls(bytes));
}

// The parser walks the text once, keeping the open elements on a stack; it never recurses.
CoreXnod* CoreXmld::parseBytes(std::string_view text) {
  clear();
  if (text == "0") return nullptr;
  loaded_ = true;
  root_ = std::make_unique<CoreXnod>(CoreStrg("ROOT"));
  std::vector<CoreXnod*> open{root_.get()};
  const size_t n = text.size();
  size_t pos = 0;
  std::string tag;
  std::string pending;
  bool isPending = false;

  for (;;) {
    // Find the next tag that is not a declaration ("?") or a comment ("!").
    char kind = '?';
    while (kind == '?' || kind == '!') {
      tag.clear();
      bool seen = false;
      bool complete = false;
      while (pos < n) {
        const char c = text[pos];
        if (c == '>') {
          ++pos;
          complete = true;
          break;
        }
        if (c == '<') {
          // A tag is what follows the last "<" before its ">": a stray "<" restarts it.
          seen = true;
          tag.clear();
          kind = pos + 1 < n ? text[pos + 1] : '\0';
          ++pos;
          if (kind == '/') ++pos;
          continue;
        }
        // Tag text beyond kTagLimit bytes is cut off; the rest up to ">" is skipped. A
        // document with an over-long tag still parses, the tag read as its first 255 bytes.
        if (seen && tag.size() < kTagLimit) tag.push_back(c);
        ++pos;
      }
      if (!complete) return root_.get();  // the text ended inside the search
    }

    if (kind != '/') {
      CoreXnod* element = open.back()->addChild(std::make_unique<CoreXnod>(CoreStrg(tag)));
      open.push_back(element);
      size_t next = text.find('<', pos);
      if (next == std::string_view::npos) next = n;
      pending.assign(text.substr(pos, next - pos));
      isPending = true;
      pos = next;
      continue;
    }

    if (isPending) {
      open.back()->addChild(std::make_unique<CoreXnod>(CoreStrg(pending)));
      isPending = false;
    }
    if (open.size() == 1) {
      clear();
      throw CoreAnsx();
    }
    open.pop_back();
  }
}

std::string CoreXmld::serializeString(const CoreXnod& node, bool indent, bool blankLine) {
  std::string out;
  struct Frame {
    const CoreXnod* node;
    int32_t next;
    int32_t depth;
    bool hadText;
  };
  std::vector<Frame> stack{{&node, 0, 0, false}};
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next >= frame.node->childCount()) {
      const Frame done = frame;
      stack.pop_back();
      if (stack.empty()) break;  // the node itself is never written
      if (!done.hadText) appendIndent(out, indent, done.depth - 1);
      out += "</";
      out += writable(done.node->name().text(), "<>", "name");
      out += '>';
      if (indent) out += "\r\n";
      continue;
    }
    const int32_t index = frame.next++;
    const CoreXnod* c = frame.node->child(index);
    if (c->isText()) {
      const CoreStrg trimmed = c->name().trim();
      if (!trimmed.empty()) {
        out += ' ';
        out += writable(trimmed.text(), "<", "value");
        out += ' ';
      }
      frame.hadText = true;
      continue;
    }
    if (indent && index == 0) out += "\r\n";
    appendIndent(out, indent, frame.depth);
    out += '<';
    out += writable(c->name().text(), "<>", "name");
    out += '>';
    if (blankLine && indent && frame.depth == 0) out += "\r\n";
    const int32_t depth = frame.depth + 1;  // frame is not valid after the push
    stack.push_back({c, 0, depth, false});
  }
  return out;
}

CoreStrg CoreXmld::serializeNode(const CoreXnod& node, bool indent, bool blankLine) {
  return CoreStrg(std::string_view(serializeString(node, indent, blankLine)));
}

CoreStrg CoreXmld::serialize(bool indent, bool blankLine) const {
  if (!root_) return CoreStrg("");
  return serializeNode(*root_, indent, blankLine);
}

bool CoreXmld::saveFile(const CoreStrg& path, const CoreStrg& text) {
  return saveFile(path, std::string_view(text.text(), static_cast<size_t>(text.length())));
}

bool CoreXmld::saveFile(const CoreStrg& path, std::string_view text) {
  std::string file = kHeader;
  file += "\r\n";
  file += kBanner;
  file += text;
  FILE* f = path.openFile("wb");
  if (!f) return false;
  const bool written = std::fwrite(file.data(), 1, file.size(), f) == file.size();
  return std::fclose(f) == 0 && written;
}
