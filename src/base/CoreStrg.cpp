#include "base/CoreStrg.h"

#include <locale.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/CoreAnsx.h"
#include "base/CoreFnam.h"

namespace {

locale_t cLocale() {
  static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return loc;
}

// Every buffer request is tried up to ten times before it counts as out of memory.
char* obtain(char* old, size_t bytes) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    void* p = std::realloc(old, bytes);
    if (p) return static_cast<char*>(p);
  }
  throw CoreAnsx("CoreStrg out of memory");
}

std::string toUpper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string toLower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

int formatCLocale(char* buffer, size_t size, const char* format, ...) {
  locale_t previous = uselocale(cLocale());
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(buffer, size, format, args);
  va_end(args);
  uselocale(previous);
  return n;
}

double parseCLocale(const char* text, char** end) { return strtod_l(text, end, cLocale()); }

CoreStrg::CoreStrg() : tag_(kTag), text_(nullptr), size_(0), capacity_(0) { assignBytes("", 0); }

CoreStrg::CoreStrg(const char* text) : tag_(kTag), text_(nullptr), size_(0), capacity_(0) {
  if (!text) text = "";
  assignBytes(text, static_cast<int32_t>(std::strlen(text)));
}

CoreStrg::CoreStrg(std::string_view text) : tag_(kTag), text_(nullptr), size_(0), capacity_(0) {
  const size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  assignBytes(text.data(), static_cast<int32_t>(text.size()));
}

CoreStrg::CoreStrg(const CoreStrg& other) : tag_(kTag), text_(nullptr), size_(0), capacity_(0) {
  if (other.size_ == 0 && other.text_ == nullptr) {
    size_ = 0;  // a copy of the empty past-the-end substring stays that value
    return;
  }
  assignBytes(other.text(), other.length());
}

CoreStrg::CoreStrg(CoreStrg&& other) noexcept
    : tag_(kTag), text_(other.text_), size_(other.size_), capacity_(other.capacity_) {
  other.text_ = nullptr;
  other.size_ = 1;
  other.capacity_ = 0;
}

CoreStrg::CoreStrg(char c) : tag_(kTag), text_(nullptr), size_(0), capacity_(0) {
  assignBytes(&c, c == '\0' ? 0 : 1);
}

CoreStrg::CoreStrg(double value) : CoreStrg(formatted("%G", value)) {}

CoreStrg::CoreStrg(int32_t value) : CoreStrg(formatted("%i", value)) {}

CoreStrg::~CoreStrg() {
  if (capacity_ > 0) std::free(text_);
  text_ = nullptr;
}

CoreStrg CoreStrg::fromRealZero(double value) {
  if (value == 0.0) return CoreStrg("0");
  return formatted("%G", value);
}

CoreStrg CoreStrg::fromLong(long value) { return formatted("%li", value); }

CoreStrg CoreStrg::fromULong(unsigned long value) { return formatted("%lu", value); }

CoreStrg CoreStrg::fixed(double value, int decimals) {
  char format[32];
  std::snprintf(format, sizeof format, "%%.%if", decimals);
  char buffer[512];
  formatCLocale(buffer, sizeof buffer, format, value);
  return CoreStrg(buffer);
}

CoreStrg CoreStrg::formatted(const char* format, ...) {
  char buffer[512];
  locale_t previous = uselocale(cLocale());
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  uselocale(previous);
  return CoreStrg(static_cast<const char*>(buffer));
}

CoreStrg CoreStrg::emptyPastEnd() {
  CoreStrg s;
  std::free(s.text_);
  s.text_ = nullptr;
  s.size_ = 0;
  s.capacity_ = 0;
  return s;
}

CoreStrg& CoreStrg::operator=(const CoreStrg& other) {
  if (this == &other || other.tag_ != kTag) return *this;
  if (other.size_ == 0 && other.text_ == nullptr) {
    if (text_) text_[0] = '\0';
    size_ = 0;
    return *this;
  }
  const std::string copy(other.text(), static_cast<size_t>(other.length()));
  assignBytes(copy.data(), static_cast<int32_t>(copy.size()));
  return *this;
}

CoreStrg& CoreStrg::operator=(CoreStrg&& other) noexcept {
  if (this == &other || other.tag_ != kTag) return *this;
  // A buffer never shrinks: a value that already has room keeps its own buffer.
  if (capacity_ > 0 && other.text_ && other.size_ > 0 && other.size_ <= capacity_) {
    std::memcpy(text_, other.text_, static_cast<size_t>(other.size_));
    size_ = other.size_;
    return *this;
  }
  if (capacity_ > 0) std::free(text_);
  text_ = other.text_;
  size_ = other.size_;
  capacity_ = other.capacity_;
  other.text_ = nullptr;
  other.size_ = 1;
  other.capacity_ = 0;
  return *this;
}

CoreStrg& CoreStrg::operator=(const char* text) { return *this = CoreStrg(text); }

void CoreStrg::reserve(int32_t size) {
  if (capacity_ >= size) return;
  const int32_t wanted = size + 8 - (size % 8);
  text_ = obtain(capacity_ > 0 ? text_ : nullptr, static_cast<size_t>(wanted));
  capacity_ = wanted;
}

void CoreStrg::assignBytes(const char* bytes, int32_t length) {
  reserve(length + 1);
  std::memmove(text_, bytes, static_cast<size_t>(length));
  text_[length] = '\0';
  size_ = length + 1;
}

int32_t CoreStrg::length() const { return text_ ? static_cast<int32_t>(std::strlen(text_)) : 0; }

char CoreStrg::at(int32_t i) const { return (i >= 0 && i < length()) ? text_[i] : '\0'; }

void CoreStrg::reformat(const char* format, double value) {
  char buffer[512];
  formatCLocale(buffer, sizeof buffer, format ? format : "%G", value);
  assignBytes(buffer, static_cast<int32_t>(std::strlen(buffer)));
}

void CoreStrg::append(const char* text) {
  if (!text) return;
  const int32_t add = static_cast<int32_t>(std::strlen(text));
  const int32_t old = length();
  const std::string copy(text, static_cast<size_t>(add));  // text may live in this buffer
  reserve(old + add + 1);
  std::memcpy(text_ + old, copy.data(), static_cast<size_t>(add));
  text_[old + add] = '\0';
  size_ = old + add + 1;
}

CoreStrg CoreStrg::concatenate(const CoreStrg& a, const CoreStrg& b) {
  CoreStrg r(a.text());
  r.append(b.text());
  return r;
}

CoreStrg CoreStrg::upper() const { return CoreStrg(std::string_view(toUpper(text()))); }

CoreStrg CoreStrg::lower() const { return CoreStrg(std::string_view(toLower(text()))); }

CoreStrg CoreStrg::substring(int32_t position, int32_t count) const {
  const int32_t len = length();
  if (position <= 0) position = 1;
  if (position > len) return emptyPastEnd();
  if (count < 0) count = 0;
  const int32_t take = std::min(count, len - position + 1);
  return CoreStrg(std::string_view(text() + position - 1, static_cast<size_t>(take)));
}

CoreStrg CoreStrg::mid(int32_t position, int32_t count) const {
  if (std::max(position, 1) > length()) return CoreStrg(" ");
  return substring(position, count);
}

CoreStrg CoreStrg::trim() const {
  const char* s = text();
  int32_t begin = 0, end = length();
  while (begin < end && std::isspace(static_cast<unsigned char>(s[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(s[end - 1]))) --end;
  return CoreStrg(std::string_view(s + begin, static_cast<size_t>(end - begin)));
}

CoreStrg CoreStrg::replaceChar(char from, char to) const {
  std::string s(text());
  std::replace(s.begin(), s.end(), from, to);
  return CoreStrg(std::string_view(s));
}

CoreStrg CoreStrg::replaceText(const CoreStrg& find, const CoreStrg& with) const {
  std::string s(text());
  const std::string f(find.text()), w(with.text());
  if (f.empty()) return *this;
  // A replacement that holds the searched text would never end; such a pair is replaced once
  // per occurrence from left to right instead.
  if (w.find(f) != std::string::npos) {
    std::string out;
    size_t from = 0, at;
    while ((at = s.find(f, from)) != std::string::npos) {
      out.append(s, from, at - from).append(w);
      from = at + f.size();
    }
    out.append(s, from, std::string::npos);
    return CoreStrg(std::string_view(out));
  }
  size_t at;
  while ((at = s.find(f)) != std::string::npos) s = s.substr(0, at) + w + s.substr(at + f.size());
  return CoreStrg(std::string_view(s));
}

CoreStrg CoreStrg::padLeft(int32_t width, char fill) const {
  std::string s = mid(1, width).str();
  while (static_cast<int32_t>(s.size()) < width) s.insert(s.begin(), fill);
  return CoreStrg(std::string_view(s));
}

CoreStrg CoreStrg::padRight(int32_t width, char fill) const {
  std::string s = mid(1, width).str();
  while (static_cast<int32_t>(s.size()) < width) s.push_back(fill);
  return CoreStrg(std::string_view(s));
}

bool CoreStrg::sameKey(const CoreStrg& other) const {
  return std::strcmp(key().text(), other.key().text()) == 0;
}

bool CoreStrg::contains(const CoreStrg& part) const {
  return std::strstr(text(), part.text()) != nullptr;
}

CoreStrg CoreStrg::narrowWide(const char* bytes, int32_t count) {
  if (!bytes || count <= 0) return CoreStrg("");
  const auto* u = reinterpret_cast<const unsigned char*>(bytes);
  if (count >= 2 && u[0] == 0xFF && u[1] == 0xFE) {
    std::string out;
    for (int32_t i = 2; i < count; ++i)
      if (u[i] != 0) out.push_back(static_cast<char>(u[i]));
    return CoreStrg(std::string_view(out));
  }
  return CoreStrg(std::string_view(bytes, static_cast<size_t>(count)));
}

CoreStrg CoreStrg::fourCharCode(const void* address) {
  std::string out;
  const auto* b = static_cast<const char*>(address);
  for (int i = 0; i < 4; ++i)
    if (b[i] != '\0') out.push_back(b[i]);
  return CoreStrg(std::string_view(out));
}

CoreStrg::PathParts CoreStrg::split() const {
  const std::string s(text());
  PathParts p;
  const size_t colon = s.find(':');
  const size_t driveEnd = colon == std::string::npos ? 0 : colon + 1;
  p.drive = s.substr(0, driveEnd);
  const size_t dot = s.rfind('.');
  const size_t extBegin = (dot == std::string::npos || dot < driveEnd) ? s.size() : dot;
  p.extension = s.substr(extBegin);
  size_t nameBegin = driveEnd;
  for (size_t i = driveEnd; i < extBegin; ++i)
    if (s[i] == '\\' || s[i] == '/') nameBegin = i + 1;
  p.name = s.substr(nameBegin, extBegin - nameBegin);
  p.directory = s.substr(driveEnd, nameBegin - driveEnd);
  return p;
}

CoreStrg CoreStrg::extension() const { return CoreStrg(std::string_view(toUpper(split().extension))); }

CoreStrg CoreStrg::folder() const {
  const PathParts p = split();
  return CoreStrg(std::string_view(p.drive + p.directory));
}

CoreStrg CoreStrg::changeExtension(const CoreStrg& extension) const {
  const PathParts p = split();
  return CoreStrg(std::string_view(p.drive + p.directory + p.name + toLower(extension.text())));
}

CoreStrg CoreStrg::fileName(bool withoutExtension) const {
  const PathParts p = split();
  return CoreStrg(std::string_view(withoutExtension ? p.name : p.name + p.extension));
}

CoreStrg CoreStrg::addSuffix(const CoreStrg& suffix) const {
  const PathParts p = split();
  return CoreStrg(std::string_view(p.drive + p.directory + p.name + suffix.text() + p.extension));
}

CoreStrg CoreStrg::nextNumberedName() const {
  const PathParts p = split();
  std::string base = p.drive + p.directory + p.name;
  const size_t n = base.size();
  if (n >= 3 && base[n - 3] == '_') {
    const int number = std::atoi(base.substr(n - 2).c_str());
    char digits[8];
    std::snprintf(digits, sizeof digits, "%03d", (number + 1) % 1000);
    base = base.substr(0, n - 2) + std::string(digits).substr(1);
  } else {
    base += "_01";
  }
  return CoreStrg(std::string_view(base + toLower(p.extension)));
}

CoreStrg CoreStrg::forwardSlashes() const { return replaceChar('\\', '/'); }

FILE* CoreStrg::openFile(const char* mode) const {
  // Names are written as on Windows: separators and letter case are mapped onto the file system.
  return std::fopen(CoreFnam::resolve(text()).c_str(), mode);
}

int32_t CoreStrg::indexInList(const CoreStrg& text, int32_t count, const CoreStrg* list,
                              bool numeric, bool notFoundIsMinusOne) {
  const int32_t none = notFoundIsMinusOne ? -1 : 0;
  if (!list || count <= 0) return none;
  if (numeric) {
    const double wanted = parseCLocale(text.text(), nullptr);
    int32_t best = -1;
    double bestDistance = 0.0;
    for (int32_t i = 0; i < count; ++i) {
      const double d = std::fabs(parseCLocale(list[i].text(), nullptr) - wanted);
      if (best < 0 || d < bestDistance) {
        best = i;
        bestDistance = d;
      }
    }
    return best < 0 ? none : best;
  }
  const CoreStrg wanted = text.key();
  for (int32_t i = 0; i < count; ++i)
    if (std::strcmp(list[i].key().text(), wanted.text()) == 0) return i;
  return none;
}

void CoreStrg::sortList(CoreStrg* list, int32_t count) {
  if (!list) return;
  for (int32_t i = 0; i < count; ++i)
    for (int32_t j = i + 1; j < count; ++j)
      if (std::strcmp(list[j].key().text(), list[i].key().text()) < 0) std::swap(list[i], list[j]);
}

bool operator==(const CoreStrg& a, const CoreStrg& b) { return std::strcmp(a.text(), b.text()) == 0; }

bool operator==(const CoreStrg& a, const char* b) { return std::strcmp(a.text(), b ? b : "") == 0; }
