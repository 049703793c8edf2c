#include "base/CoreLogr.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "base/CoreSpin.h"

namespace {

// The folder and name are written at engine start; a short lock keeps a reader of another
// instance from seeing a half-written text.
struct LogState {
  CoreSpin lock;
  std::string folder;
  std::string name = "Ostrel3.log";
  std::atomic<int16_t> level{0};
};

LogState& state() {
  static LogState s;
  return s;
}

}  // namespace

void CoreLogr::setLevel(int16_t level) { state().level.store(level); }
int16_t CoreLogr::level() { return state().level.load(); }

void CoreLogr::setFolder(const CoreStrg& folder) {
  CoreSpin::Guard g(state().lock);
  state().folder = folder.str();
}

CoreStrg CoreLogr::folder() {
  CoreSpin::Guard g(state().lock);
  return CoreStrg(std::string_view(state().folder));
}

void CoreLogr::setFileName(const CoreStrg& name) {
  CoreSpin::Guard g(state().lock);
  state().name = name.str();
}

CoreStrg CoreLogr::fileName() {
  CoreSpin::Guard g(state().lock);
  return CoreStrg(std::string_view(state().name));
}

void CoreLogr::writeLine(const CoreStrg& body) {
  std::string path;
  {
    CoreSpin::Guard g(state().lock);
    if (state().folder.empty() || state().name.empty()) return;
    path = state().folder + state().name;
  }
  FILE* f = CoreStrg(std::string_view(path)).openFile("a");
  if (!f) return;
  std::fprintf(f, "%i-%lu %s\n", static_cast<int>(::getpid()),
               static_cast<unsigned long>(::syscall(SYS_gettid)), body.text());
  std::fclose(f);
}

void CoreLogr::trace(const CoreStrg& text, int depth, int level) {
  if (!enabled(level)) return;
  std::string body = ">";
  for (int i = 0; i < depth; ++i) body += '-';
  body += text.text();
  body += '<';
  writeLine(CoreStrg(std::string_view(body)));
}

void CoreLogr::error(const CoreStrg& text, int level) {
  if (!enabled(level)) return;
  writeLine(CoreStrg(kErrorMark) + " " + text);
}

void CoreLogr::tagError(const CoreStrg& text) {
  if (level() < 1) return;
  writeLine(CoreStrg(kErrorMark) + "Error in tag" + " " + text);
}

void CoreLogr::fileError(const CoreStrg& text, int level) {
  if (!enabled(level)) return;
  writeLine(CoreStrg(kErrorMark) + "Error in file" + " " + text);
}
