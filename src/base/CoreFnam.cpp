#include "base/CoreFnam.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

namespace {

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// The entry of the folder whose name equals the component without regard to case; "" when none.
// Several entries may differ only in case: the first in byte order is taken, so the answer does
// not depend on the order in which the folder lists them.
std::string matchInFolder(const std::string& folder, const std::string& component) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return std::string();
  std::string best;
  while (const dirent* e = ::readdir(dir)) {
    const char* name = e->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    if (!CoreFnam::sameIgnoringCase(name, component.c_str())) continue;
    if (best.empty() || std::strcmp(name, best.c_str()) < 0) best = name;
  }
  ::closedir(dir);
  return best;
}

}  // namespace

std::string CoreFnam::forwardSlashes(const char* path) {
  std::string s(path ? path : "");
  for (char& c : s)
    if (c == '\\') c = '/';
  return s;
}

bool CoreFnam::sameIgnoringCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    if (lowerAscii(*a) != lowerAscii(*b)) return false;
    if (*a == '\0') return true;
  }
}

std::string CoreFnam::resolve(const char* path) {
  const std::string p = forwardSlashes(path);
  if (p.empty() || exists(p)) return p;

  std::string out;
  size_t at = 0;
  if (p[0] == '/') {
    out = "/";
    at = 1;
  }
  bool missing = false;
  while (at <= p.size()) {
    size_t slash = p.find('/', at);
    if (slash == std::string::npos) slash = p.size();
    const std::string component = p.substr(at, slash - at);
    if (missing || component.empty() || component == "." || component == "..") {
      out += component;
    } else if (exists(out + component)) {
      out += component;
    } else {
      const std::string match = matchInFolder(out, component);
      if (match.empty()) {
        missing = true;  // the rest does not exist yet: kept as written
        out += component;
      } else {
        out += match;
      }
    }
    if (slash < p.size()) out += '/';
    at = slash + 1;
  }
  return out;
}

bool CoreFnam::matchesPattern(const char* pattern, const char* name) {
  if (!pattern || !name) return false;
  if (std::strcmp(pattern, "*.*") == 0 || std::strcmp(pattern, "*") == 0) return true;
  // Iterative wildcard match: on a mismatch go back to the last "*" and let it take one more.
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*name) {
    if (*pattern == '*') {
      star = pattern++;
      resume = name;
    } else if (*pattern == '?' || (*pattern && lowerAscii(*pattern) == lowerAscii(*name))) {
      ++pattern;
      ++name;
    } else if (star) {
      pattern = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

bool CoreFnam::isFile(const std::string& path) {
  struct stat st;
  return ::stat(resolve(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool CoreFnam::isFolder(const std::string& path) {
  struct stat st;
  return ::stat(resolve(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
