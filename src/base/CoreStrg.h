// The one text value of the system: 8-bit characters, a validity tag, a size (length + 1) and a
// capacity that grows in steps of eight and never shrinks. Also the path and list utilities that
// many folders share. A null text reads as "".
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

class CoreStrg {
 public:
  static constexpr uint16_t kTag = 0x0D00;

  CoreStrg();                              // [any] ""
  CoreStrg(const char* text);              // [any] a copy; null gives ""
  CoreStrg(std::string_view text);         // [any] a copy of the bytes up to the first NUL
  CoreStrg(const CoreStrg& other);         // [any]
  CoreStrg(CoreStrg&& other) noexcept;     // [any]
  explicit CoreStrg(char c);               // [any] one character; NUL gives ""
  explicit CoreStrg(double value);         // [any] "%G"
  explicit CoreStrg(int32_t value);        // [any] "%i"
  ~CoreStrg();

  static CoreStrg fromRealZero(double value);          // [any] "%G", zero (also -0) as "0"
  static CoreStrg fromLong(long value);                // [any] "%li"
  static CoreStrg fromULong(unsigned long value);      // [any] "%lu"
  static CoreStrg fixed(double value, int decimals);   // [any] "%.<n>f"

  // Assignment copies only a source that carries the tag; otherwise the target is unchanged.
  CoreStrg& operator=(const CoreStrg& other);  // [any]
  CoreStrg& operator=(CoreStrg&& other) noexcept;  // [any]
  CoreStrg& operator=(const char* text);   // [any]

  const char* text() const { return text_ ? text_ : ""; }  // [any] never null
  const char* c_str() const { return text(); }             // [any]
  std::string str() const { return std::string(text()); }  // [any]
  int32_t size() const { return size_; }                    // [any] bytes in use incl. NUL
  int32_t capacity() const { return capacity_; }            // [any]
  int32_t length() const;                                   // [any]
  bool empty() const { return length() == 0; }             // [any]
  uint16_t tag() const { return tag_; }                     // [any]
  char at(int32_t i) const;                                 // [any] 0-based; NUL past the end

  void reformat(const char* format, double value);  // [any] refill with one formatted real
  void append(const char* text);                    // [any]
  CoreStrg& operator+=(const CoreStrg& other) { append(other.text()); return *this; }
  CoreStrg& operator+=(const char* text) { append(text); return *this; }
  static CoreStrg concatenate(const CoreStrg& a, const CoreStrg& b);  // [any]

  CoreStrg upper() const;                                   // [any]
  CoreStrg lower() const;                                   // [any]
  CoreStrg substring(int32_t position, int32_t count) const;  // [any] position from 1
  CoreStrg mid(int32_t position, int32_t count) const;        // [any] " " past the end
  CoreStrg trim() const;                                    // [any]
  CoreStrg replaceChar(char from, char to) const;           // [any]
  CoreStrg replaceText(const CoreStrg& find, const CoreStrg& with) const;  // [any]
  CoreStrg padLeft(int32_t width, char fill) const;         // [any]
  CoreStrg padRight(int32_t width, char fill) const;        // [any]
  // [any] Trimmed, upper-cased form, the way the system compares names and keys.
  CoreStrg key() const { return trim().upper(); }
  bool sameKey(const CoreStrg& other) const;                // [any] trimmed, upper-cased equality
  bool contains(const CoreStrg& part) const;                // [any]

  // [any] Bytes after a UTF-16 little-endian byte-order mark, NULs dropped; otherwise a copy.
  static CoreStrg narrowWide(const char* bytes, int32_t count);
  // [any] Four bytes at an address as text, NUL bytes skipped (RIFF chunk identifiers).
  static CoreStrg fourCharCode(const void* address);

  // Paths: drive (up to the first ':'), directory, name, extension (from the last '.').
  CoreStrg extension() const;                               // [any] upper case, dot included
  CoreStrg folder() const;                                  // [any] drive + directory
  CoreStrg changeExtension(const CoreStrg& extension) const;  // [any] new one in lower case
  CoreStrg fileName(bool withoutExtension) const;           // [any]
  CoreStrg addSuffix(const CoreStrg& suffix) const;         // [any]
  CoreStrg nextNumberedName() const;                        // [any] take -> take_01, _41 -> _42
  CoreStrg forwardSlashes() const;                          // [any] every '\' as '/'
  FILE* openFile(const char* mode) const;                   // [any] after forward slashes

  // Lists of texts.
  // [any] numeric: the entry nearest in value (first on ties); otherwise the first whose trimmed,
  // upper-cased form equals the text's. No match: -1 when notFoundIsMinusOne, else 0.
  static int32_t indexInList(const CoreStrg& text, int32_t count, const CoreStrg* list,
                             bool numeric, bool notFoundIsMinusOne);
  static void sortList(CoreStrg* list, int32_t count);     // [any] by trimmed, upper-cased bytes

  friend bool operator==(const CoreStrg& a, const CoreStrg& b);
  friend bool operator==(const CoreStrg& a, const char* b);
  friend CoreStrg operator+(const CoreStrg& a, const CoreStrg& b) { return concatenate(a, b); }
  friend CoreStrg operator+(const CoreStrg& a, const char* b) { return concatenate(a, CoreStrg(b)); }

 private:
  struct PathParts {
    std::string drive, directory, name, extension;
  };
  PathParts split() const;
  void assignBytes(const char* bytes, int32_t length);
  void reserve(int32_t size);
  static CoreStrg formatted(const char* format, ...);
  static CoreStrg emptyPastEnd();

  uint16_t tag_;
  char* text_;
  int32_t size_;
  int32_t capacity_;
};

// Formats with the C locale whatever the process locale is, so reals always use '.'.
int formatCLocale(char* buffer, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
// Reads a real with the C locale; like strtod.
double parseCLocale(const char* text, char** end);
