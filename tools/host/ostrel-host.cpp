// ostrel-host: loads a VST 2 plug-in, prints what a host sees of it and, on request, runs a
// sine through it. Every line is "key: value" so that scripts can read it.
//
//   ostrel-host [--plugin PATH] [--version N] [--rate R] [--block B] [--process SECONDS] [--check]
//
// Exit status: 0 fine, 1 bad arguments, 2 the plug-in could not be loaded or gave no instance,
// 3 a --check failed (a text overran its limit, processing was unavailable, or the output was
// silent or not finite).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/Render.h"
#include "testhost/TestHost.h"

#ifndef OSTREL_DEFAULT_PLUGIN
#define OSTREL_DEFAULT_PLUGIN "vst/Ostrel3.so"
#endif

namespace {

struct Options {
  std::string plugin = OSTREL_DEFAULT_PLUGIN;
  long version = 2400;
  double rate = 44100.0;
  long block = 1024;
  double processSeconds = -1.0;  // negative: no processing
  bool check = false;
};

void usage(FILE* to) {
  std::fprintf(to,
               "usage: ostrel-host [--plugin PATH] [--version N] [--rate R] [--block B]\n"
               "                   [--process SECONDS] [--check]\n"
               "  --plugin PATH      the VST 2 plug-in (default %s)\n"
               "  --version N        host version answered to the plug-in (default 2400)\n"
               "  --rate R           sample rate; 0 answers 0 and sends none (default 44100)\n"
               "  --block B          block size; 0 answers 0 and sends none (default 1024)\n"
               "  --process SECONDS  run a 440 Hz sine through processReplacing\n"
               "  --check            exit 3 on overrunning texts or bad or silent output\n",
               OSTREL_DEFAULT_PLUGIN);
}

bool parseNumber(const char* text, double& out) {
  char* end = nullptr;
  out = std::strtod(text, &end);
  return end != text && *end == '\0';
}

// Returns 0 when parsed, else the exit status.
int parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      usage(stdout);
      std::exit(0);
    }
    if (arg == "--check") {
      o.check = true;
      continue;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "ostrel-host: %s needs a value\n", arg.c_str());
      return 1;
    }
    const char* value = argv[++i];
    double number = 0.0;
    const bool numeric = parseNumber(value, number);
    if (arg == "--plugin") {
      o.plugin = value;
    } else if (arg == "--version" && numeric) {
      o.version = static_cast<long>(number);
    } else if (arg == "--rate" && numeric && number >= 0.0) {
      o.rate = number;
    } else if (arg == "--block" && numeric && number >= 0.0 && number <= 1 << 20) {
      o.block = static_cast<long>(number);
    } else if (arg == "--process" && numeric && number >= 0.0 && number <= 3600.0) {
      o.processSeconds = number;
    } else {
      std::fprintf(stderr, "ostrel-host: bad option or value: %s %s\n", arg.c_str(), value);
      usage(stderr);
      return 1;
    }
  }
  if (o.processSeconds >= 0.0 && o.rate <= 0.0) {
    std::fprintf(stderr, "ostrel-host: --process needs a sample rate above 0\n");
    return 1;
  }
  return 0;
}

const char* categoryName(intptr_t category) {
  static const char* const kNames[] = {"unknown",   "effect",    "synth",   "analysis",
                                       "mastering", "spatialiser", "room effect", "surround effect",
                                       "restoration", "offline process", "shell", "generator"};
  return category >= 0 && category < 12 ? kNames[category] : "?";
}

std::string flagNames(int32_t flags) {
  static const struct {
    int32_t bit;
    const char* name;
  } kFlags[] = {{vst::effFlagsHasEditor, "HasEditor"},
                {vst::effFlagsHasClip, "HasClip"},
                {vst::effFlagsHasVu, "HasVu"},
                {vst::effFlagsCanMono, "CanMono"},
                {vst::effFlagsCanReplacing, "CanReplacing"},
                {vst::effFlagsProgramChunks, "ProgramChunks"},
                {vst::effFlagsIsSynth, "IsSynth"},
                {vst::effFlagsNoSoundInStop, "NoSoundInStop"},
                {vst::effFlagsCanDoubleReplacing, "CanDoubleReplacing"}};
  std::string out;
  int32_t known = 0;
  for (const auto& f : kFlags) {
    known |= f.bit;
    if (flags & f.bit) out += std::string(out.empty() ? "" : " ") + f.name;
  }
  if (flags & ~known) {
    char extra[32];
    std::snprintf(extra, sizeof extra, "%sother=0x%X", out.empty() ? "" : " ",
                  static_cast<unsigned>(flags & ~known));
    out += extra;
  }
  return out.empty() ? "none" : out;
}

const char* canDoMeaning(intptr_t answer) {
  return answer > 0 ? "yes" : answer < 0 ? "no" : "don't know";
}

// Prints problems with a text answer; returns false when there was one.
bool textWarnings(const char* what, const testhost::PluginText& t, int32_t limit) {
  bool fine = true;
  if (t.overran) {
    std::printf("warning: %s wrote past its %d-byte limit\n", what, static_cast<int>(limit));
    fine = false;
  }
  if (t.written && !t.terminated) {
    std::printf("warning: %s left no NUL inside its %d-byte limit\n", what, static_cast<int>(limit));
    fine = false;
  }
  return fine;
}

class Report {
 public:
  explicit Report(testhost::TestPlugin& p) : p_(p) {}
  bool textsFine() const { return textsFine_; }

  void print() {
    text("effectName", p_.effectName(), vst::kEffectNameLength);
    text("vendorString", p_.vendorString(), vst::kVendorStringLength);
    text("productString", p_.productString(), vst::kProductStringLength);
    std::printf("vendorVersion: %ld\n", static_cast<long>(p_.vendorVersion()));
    std::printf("vstVersion: %ld\n", static_cast<long>(p_.vstVersion()));
    std::printf("uniqueID: 0x%08X '%s' (%d)\n", static_cast<unsigned>(p_.uniqueId()),
                testhost::fourCCText(p_.uniqueId()).c_str(), static_cast<int>(p_.uniqueId()));
    std::printf("version: %d\n", static_cast<int>(p_.version()));
    std::printf("numInputs: %d\n", static_cast<int>(p_.numInputs()));
    std::printf("numOutputs: %d\n", static_cast<int>(p_.numOutputs()));
    std::printf("numParams: %d\n", static_cast<int>(p_.numParams()));
    std::printf("numPrograms: %d\n", static_cast<int>(p_.numPrograms()));
    std::printf("flags: 0x%08X %s\n", static_cast<unsigned>(p_.flags()), flagNames(p_.flags()).c_str());
    std::printf("initialDelay: %d\n", static_cast<int>(p_.initialDelay()));
    const intptr_t category = p_.plugCategory();
    std::printf("plugCategory: %ld (%s)\n", static_cast<long>(category), categoryName(category));
    for (const char* cap : {"receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents", "bypass"}) {
      const intptr_t answer = p_.canDo(cap);
      std::printf("canDo %s: %ld (%s)\n", cap, static_cast<long>(answer), canDoMeaning(answer));
    }
    for (int32_t i = 0; i < p_.numParams(); ++i) {
      const auto name = p_.paramName(i);
      const auto display = p_.paramDisplay(i);
      const auto label = p_.paramLabel(i);
      std::printf("param %d: name=\"%s\" display=\"%s\" label=\"%s\" value=%g\n", static_cast<int>(i),
                  name.text.c_str(), display.text.c_str(), label.text.c_str(),
                  static_cast<double>(p_.getParameter(i)));
      const std::string which = "parameter " + std::to_string(i);
      note(textWarnings((which + " name").c_str(), name, vst::kParamNameLength));
      note(textWarnings((which + " display").c_str(), display, vst::kParamDisplayLength));
      note(textWarnings((which + " label").c_str(), label, vst::kParamLabelLength));
    }
    text("programName", p_.programName(), vst::kProgramNameLength);
  }

 private:
  void text(const char* key, const testhost::PluginText& t, int32_t limit) {
    std::printf("%s: %s\n", key, t.written ? t.text.c_str() : "(not answered)");
    note(textWarnings(key, t, limit));
  }
  void note(bool fine) { textsFine_ = textsFine_ && fine; }

  testhost::TestPlugin& p_;
  bool textsFine_ = true;
};

// Runs the sine and prints the statistics; returns false when the output is unusable.
bool process(testhost::TestPlugin& plugin, const Options& o) {
  ostrelhost::SineRender how;
  how.sampleRate = o.rate;
  how.blockSize = o.block > 0 ? static_cast<int32_t>(o.block) : 1024;
  how.seconds = o.processSeconds;
  std::printf("process: rate=%g block=%d seconds=%g sine=%g Hz amplitude=%g\n", how.sampleRate,
              static_cast<int>(how.blockSize), how.seconds, how.frequency, how.amplitude);
  plugin.resume();
  const ostrelhost::RenderStats stats = ostrelhost::renderSine(plugin, how);
  plugin.suspend();
  std::printf("process frames: %lld\n", static_cast<long long>(stats.frames));
  for (size_t c = 0; c < stats.outputs.size(); ++c) {
    const auto& s = stats.outputs[c];
    std::printf("output %zu: rms=%.6g peak=%.6g finite=%s\n", c, s.rms, s.peak, s.finite ? "yes" : "no");
  }
  const char* verdict = !stats.processed ? "unavailable"
                        : !stats.finite() ? "non-finite"
                        : stats.silent()  ? "silent"
                                          : "ok";
  std::printf("process result: %s\n", verdict);
  return std::strcmp(verdict, "ok") == 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (const int status = parse(argc, argv, o)) return status;

  testhost::HostConfig config;
  config.version = o.version;
  config.sampleRate = static_cast<intptr_t>(o.rate);
  config.blockSize = o.block;
  testhost::TestHost host(config);
  if (!host.load(o.plugin)) {
    std::fprintf(stderr, "ostrel-host: %s\n", host.error().c_str());
    return 2;
  }
  std::unique_ptr<testhost::TestPlugin> plugin = host.createInstance();
  if (!plugin) {
    std::fprintf(stderr, "ostrel-host: %s\n", host.error().c_str());
    return 2;
  }
  std::printf("plugin: %s\n", o.plugin.c_str());
  std::printf("magic: 0x%08X\n", static_cast<unsigned>(plugin->magic()));
  plugin->open();
  if (o.rate > 0.0) plugin->setSampleRate(static_cast<float>(o.rate));
  if (o.block > 0) plugin->setBlockSize(static_cast<int32_t>(o.block));

  Report report(*plugin);
  report.print();
  bool fine = report.textsFine();
  if (o.processSeconds >= 0.0) fine = process(*plugin, o) && fine;
  plugin->close();
  std::printf("closed: yes\n");
  std::fflush(stdout);

  if (o.check && !fine) {
    std::fprintf(stderr, "ostrel-host: check failed\n");
    return 3;
  }
  return 0;
}
