#include "config/CoreMstr.h"

#include <cmath>
#include <limits>

#include "base/CoreAnsx.h"
#include "base/CoreFnam.h"
#include "base/CoreLogr.h"
#include "base/CoreTime.h"
#include "docstore/CoreFsys.h"
#include "docstore/CoreXmld.h"

namespace {

constexpr const char* kSection = "MASTER";

int32_t saturate(double v) {
  if (!(v == v)) return 0;  // NaN
  if (v >= static_cast<double>(std::numeric_limits<int32_t>::max()))
    return std::numeric_limits<int32_t>::max();
  if (v <= static_cast<double>(std::numeric_limits<int32_t>::min()))
    return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);  // truncation towards zero
}

CoreStrg withSeparator(const CoreStrg& folder) {
  const int32_t n = folder.length();
  if (n == 0) return folder;
  const char last = folder.at(n - 1);
  return (last == '/' || last == '\\') ? folder : folder + "/";
}

// The keys of one section, read with their defaults.
class Keys {
 public:
  explicit Keys(const CoreXnod& section) : s_(section) {}
  bool has(const char* key) const { return s_.hasValue(CoreStrg(key)); }
  int32_t integer(const char* key, int32_t fallback) const {
    return has(key) ? saturate(s_.readReal(CoreStrg(key))) : fallback;
  }
  double real(const char* key, double fallback) const {
    const double v = has(key) ? s_.readReal(CoreStrg(key)) : fallback;
    return std::isfinite(v) ? v : fallback;
  }
  bool flag(const char* key, bool fallback) const {
    return has(key) ? s_.readReal(CoreStrg(key)) != 0.0 : fallback;
  }
  CoreStrg text(const char* key, const char* fallback) const {
    return s_.readTextOr(CoreStrg(key), CoreStrg(fallback));
  }
  CoreStrg folder(const char* key) const { return text(key, "").replaceChar('\\', '/'); }

 private:
  const CoreXnod& s_;
};

// Sections are found by their trimmed, upper-cased names, like every other lookup.
CoreXnod* section(CoreXmld& doc, const char* name) {
  return doc.root() ? doc.root()->findChild(CoreStrg(name)) : nullptr;
}

// The skin is picked with a generator of our own, so the host's C random state is left alone:
// the classic 15-bit linear congruential one, seeded from the clock.
int32_t pickIndex(int32_t count) {
  uint32_t seed = static_cast<uint32_t>(CoreTime::days() * 1e7);
  seed = seed * 214013u + 2531011u;
  const int32_t r = static_cast<int32_t>((seed >> 16) & 0x7FFF);
  return static_cast<int32_t>(std::floor(r / 32767.0 * (count - 1)));
}

void line(const CoreStrg& text) { CoreLogr::trace(text, 0, 3); }
void line(const char* key, const CoreStrg& value) { line(CoreStrg(key) + ":" + value); }
void line(const char* key, int32_t value) { line(key, CoreStrg(value)); }
void line(const char* key, bool value) { line(key, CoreStrg(int32_t{value ? 1 : 0})); }
void line(const char* key, double value) { line(key, CoreStrg(value)); }

}  // namespace

CoreMstr::CoreMstr() : document_(std::make_unique<CoreXmld>()) {}

CoreMstr::~CoreMstr() = default;

int32_t CoreMstr::roundUpPowerOfTwo(int64_t n) {
  int64_t p = 1;
  while (p < n && p < (int64_t{1} << 30)) p <<= 1;
  return static_cast<int32_t>(p);
}

int32_t CoreMstr::microsToSamples(int64_t micros, int32_t rate) {
  if (micros <= 0 || rate <= 0) return 0;
  return saturate(std::floor(static_cast<double>(rate) * static_cast<double>(micros) / 1e6));
}

void CoreMstr::read(const CoreStrg& codeFolder, const CoreStrg& moduleName,
                    const CoreStrg& masterText, int32_t sampleRate) {
  const CoreStrg fileName =
      (moduleName == "0" || moduleName.empty()) ? CoreStrg(kFallbackName) : moduleName + ".xml";
  masterPath_ = codeFolder + fileName;
  installerPath_ = masterPath_.addSuffix(CoreStrg("_installer"));
  masterRead_ = false;
  installerPresent_ = false;

  try {
    if (masterText == "0")
      document_->loadFile(masterPath_, true);
    else
      document_->parseText(masterText);
  } catch (const CoreAnsx&) {
    document_->clear();
    CoreLogr::fileError(masterPath_, 1);
  }

  // The installer's first section overrides (or adds) keys of the master section of that name.
  if (document_->root() && masterText == "0") {
    try {
      CoreXmld installer;
      CoreXnod* root = installer.loadFile(installerPath_, true);
      CoreXnod* first = nullptr;
      for (int32_t i = 0; root && i < root->childCount() && !first; ++i)
        if (!root->child(i)->isText()) first = root->child(i);
      if (first) {
        CoreXnod* target = document_->root()->walkPath({first->name()});
        if (!target) target = document_->root()->addChild(CoreXnod::makeElement(first->name()));
        for (int32_t i = 0; i < first->childCount(); ++i) {
          const CoreXnod* key = first->child(i);
          if (key->isText()) continue;
          target->setAtPath({key->name()}, key->clone());
        }
        installerPresent_ = true;
      }
    } catch (const CoreAnsx&) {
      installerPresent_ = false;  // a broken installer file is ignored
    }
  }

  const CoreXnod* master = section(*document_, kSection);
  if (master) {
    masterRead_ = true;
    readKeys(*master, codeFolder);
  } else {
    const CoreXnod empty(CoreStrg("MASTER"));
    readKeys(empty, codeFolder);
  }
  derive(sampleRate);
  chooseSkin();
}

void CoreMstr::readKeys(const CoreXnod& s, const CoreStrg& codeFolder) {
  const Keys k(s);
  magic = k.text("MAGIC", "0").trim().substring(1, 4);
  if (magic.empty()) magic = CoreStrg("0");
  dataPathGiven = k.has("DATAPATH");
  const CoreStrg data = k.text("DATAPATH", "C:\\OstrelTempRepository\\").replaceChar('\\', '/');
  // A data path naming an archive file stays a file path; a folder gets its trailing separator.
  dataPath = codeFolder + "/" + data;
  dataPathIsFile = CoreFnam::isFile(dataPath.str());
  if (!dataPathIsFile) dataPath = withSeparator(dataPath);
  debugLevel = k.integer("DL", 0);
  fastBootConfigured = k.has("FASTBOOT");
  fastBoot = k.flag("FASTBOOT", false);
  scanBoot = k.flag("SCANBOOT", true);
  noDrop = k.flag("NODROP", false);
  autoThread = k.flag("AUTOTHREAD", true);
  rateConversion = k.integer("RATECONVERSION", 0);
  programRate = k.integer("PROGRAMRATE", 3000);
  aheadLength = k.integer("AHEADLENGTH", programRate);
  guiRate = k.integer("GUIRATE", 40000);
  exportAudioQuality = k.integer("EXPORTAUDIOQUALITY", 1);
  lTimeD = k.integer("LTIMED", 10000);
  lFreqD = k.integer("LFREQD", 1000000);
  forceOffset = k.integer("FORCEOFFSET", -1);
  forColumn = k.integer("FORCOLUMN", 24);
  programSubPath = k.folder("PROGRAMSUBPATH");
  vectorSubPath = k.folder("VECTORSUBPATH");
  setupSubPath = k.folder("SETUPSUBPATH");
  skinSubPath = k.folder("SKINSUBPATH");
  dictionarySubPath = k.folder("DICTIONARYSUBPATH");
  skinName = k.text("SKINNAME", "");
  cacheConfigured = k.has("CACHESUBPATH");
  cacheSubPath = k.folder("CACHESUBPATH");
  setupRomName = k.text("SETUPROMNAME", "");
  dictionaryRomName = k.text("DICTIONARYROMNAME", "NULL");
  workBuffer = roundUpPowerOfTwo(k.integer("WORKBUFFER", 32000));
  dspBufferConfigured = k.has("DSPBUFFER");
  dspBufferWritten = k.integer("DSPBUFFER", 8192);
  dspBuffer = roundUpPowerOfTwo(dspBufferWritten < 16 ? 16 : dspBufferWritten);
  threads = k.integer("THREADS", 0);
  threadsMinDim = k.integer("THREADSMINDIM", 2048);
  meterType = k.integer("METERTYPE", 2);
  oTimeDConfigured = k.has("OTIMED");
  oTimeD = k.integer("OTIMED", 3);
  oFreqD = k.integer("OFREQD", 11);
  hDim = k.integer("HDIM", 1);
  hDimMax = k.integer("HDIMMAX", 10);
  bpmDefault = k.has("BPMDEFAULT") ? k.real("BPMDEFAULT", 120000.0) / 1000.0 : 120.0;
  fontColour = k.integer("FONTCOLOUR", 0);
  loaderPriority = k.integer("LOADERPRIORITY", 1);
  mode = k.has("MODE") ? (k.integer("MODE", 1) & 0xFFFF) != 0 : true;
  alternativeDataPaths.clear();
  for (int32_t i = 0; i < s.childCount(); ++i) {
    const CoreXnod* c = s.child(i);
    if (!c->isText() && c->name().sameKey(CoreStrg("ALTERNATIVEDATAPATH")) && c->value() != "0")
      alternativeDataPaths.push_back(withSeparator(c->value().trim().replaceChar('\\', '/')));
  }
  midiMix = {};
  for (int n = 1; n <= 8; ++n) {
    const CoreStrg number(int32_t{n});
    const CoreStrg status = CoreStrg("MIDISTSMIX") + number;
    const CoreStrg controller = CoreStrg("MIDICTRMIX") + number;
    MidiMix& m = midiMix[static_cast<size_t>(n - 1)];
    if (!k.has(controller.text())) continue;
    if (k.has(status.text())) m.status = k.integer(status.text(), m.status);
    const int32_t c = k.integer(controller.text(), m.controller);
    if (c < 0)
      m.disabled = !m.disabled;
    else
      m.controller = c > 127 ? 127 : c;
  }
  up = k.flag("UP", false);
  fixedQuality = k.flag("FIXEDQUALITY", false) ? 4 : 0;
  protectionDb = k.real("PROTECTIONDB", 24.0);
  legacyStereoChannel = k.flag("LEGACYSTEREOCHANNEL", true);
  refreshOverflow = k.integer("REFRESHOVERFLOW", 1000000);
  ippThreads = k.integer("IPPTHREADS", 1);
}

void CoreMstr::derive(int32_t sampleRate) {
  processingBuffer = dspBuffer + (threads > 0 ? dspBuffer : 0);
  lookAheadSamples = aheadLength > 0 ? microsToSamples(aheadLength, sampleRate) : 0;
  offsetSamples = microsToSamples(forceOffset, sampleRate);
  const int64_t delay = forceOffset > 0
                            ? int64_t{offsetSamples} + lookAheadSamples + processingBuffer
                            : 0;
  delayCompensation = saturate(static_cast<double>(delay));
  workMask = workBuffer - 1;
  protectionLevel = std::pow(10.0, protectionDb / 20.0);
  refreshOverflowDays = refreshOverflow / 1e6 / 86400.0;
  debugFolder = dataPath + "DEBUG/";
}

void CoreMstr::chooseSkin() {
  skinInUse = skinName;
  if (!skinName.empty()) return;
  const std::vector<CoreStrg> skins =
      CoreFsys::listFolder(dataPath + skinSubPath, CoreStrg("*.KRS"), CoreStrg("0"));
  if (skins.empty()) return;
  skinInUse = skins[static_cast<size_t>(pickIndex(static_cast<int32_t>(skins.size())))];
}

CoreStrg CoreMstr::skinFilePath() const { return dataPath + skinSubPath + skinInUse; }

void CoreMstr::dump(int32_t sampleRate) const {
  line(CoreStrg("Ostrel3") + " " + kVersion);
  if (!(magic == "0")) line("MAGIC", magic);
  line("FASTBOOT", fastBoot);
  line("SCANBOOT", scanBoot);
  line("NODROP", noDrop);
  line("AUTOTHREAD", autoThread);
  line("MODE", mode);
  line("LEGACYSTEREOCHANNEL", legacyStereoChannel);
  line("PROGRAMRATE", programRate);
  line("GUIRATE", guiRate);
  line("EXPORTAUDIOQUALITY", exportAudioQuality);
  line("LTIMED", lTimeD);
  line("LFREQD", lFreqD);
  line("FORCEOFFSET", forceOffset);
  line("RATECONVERSION", rateConversion);
  line("PROGRAMSUBPATH", programSubPath);
  line("VECTORSUBPATH", vectorSubPath);
  line("SETUPSUBPATH", setupSubPath);
  line("SETUPROMNAME", setupRomName);
  line("DICTIONARYROMNAME", dictionaryRomName);
  line("CACHESUBPATH", cacheSubPath);
  line("DICTIONARYSUBPATH", dictionarySubPath);
  line("WORKBUFFER", workBuffer);
  line("DSPBUFFER", dspBuffer);
  line("PROCESSINGBUFFER", processingBuffer);
  line("METERTYPE", meterType);
  line("HDIM", hDim);
  line("HDIMMAX", hDimMax);
  line("BPMDEFAULT", bpmDefault);
  line("FONTCOLOUR", fontColour);
  line("LOADERPRIORITY", loaderPriority);
  line("FORCOLUMN", forColumn);
  line("PROTECTIONDB", protectionDb);
  line("IPPTHREADS", ippThreads);
  line(CoreStrg("*rate:") + CoreStrg(sampleRate));
  if (threads > 0) line("THREADSMINDIM", threadsMinDim);
}

bool CoreMstr::save(int32_t sampleRate) {
  if (!document_->root()) document_->setRoot(CoreXnod::makeElement(CoreStrg("ROOT")));
  CoreXnod* root = document_->root();
  auto set = [root](const char* key, std::unique_ptr<CoreXnod> value) {
    root->setValueAtPath({CoreStrg(kSection), CoreStrg(key)}, std::move(value));
  };
  auto integer = [&](const char* key, int32_t v) { set(key, CoreXnod::makeInteger(v)); };
  integer("METERTYPE", meterType);
  integer("OTIMED", oTimeD);
  integer("OFREQD", oFreqD);
  integer("PROGRAMRATE", programRate);
  integer("EXPORTAUDIOQUALITY", exportAudioQuality);
  integer("FORCEOFFSET", forceOffset);
  integer("LTIMED", lTimeD);
  integer("LFREQD", lFreqD);
  integer("GUIRATE", guiRate);
  integer("HDIM", hDim);
  set("BPMDEFAULT", CoreXnod::makeReal(bpmDefault * 1000.0));
  // The look-ahead is kept in samples. Written back as samples x 10^6 / rate it would lose a
  // sample at every save and read (3000 us at 44.1 kHz: 132 samples, 2993.2 us, 131 samples...),
  // so the value written is the microseconds as read when they still give the same count, else
  // the smallest whole number of microseconds that reads back to it.
  double ahead = static_cast<double>(lookAheadSamples);
  if (sampleRate >= 1) {
    ahead = (microsToSamples(aheadLength, sampleRate) == lookAheadSamples)
                ? static_cast<double>(aheadLength)
                : std::ceil(lookAheadSamples * 1e6 / sampleRate);
  }
  set("AHEADLENGTH", CoreXnod::makeReal(ahead));
  integer("SCANBOOT", scanBoot ? 1 : 0);
  integer("AUTOTHREAD", autoThread ? 1 : 0);
  integer("FASTBOOT", fastBoot ? 1 : 0);
  integer("RATECONVERSION", rateConversion);
  integer("FONTCOLOUR", fontColour);
  set("SKINNAME", CoreXnod::makeElement(skinName));
  integer("NODROP", noDrop ? 1 : 0);
  integer("LOADERPRIORITY", loaderPriority);
  integer("MODE", mode ? 1 : 0);
  integer("DSPBUFFER", dspBufferWritten);
  for (int n = 1; n <= 8; ++n) {
    const MidiMix& m = midiMix[static_cast<size_t>(n - 1)];
    const CoreStrg number(int32_t{n});
    integer((CoreStrg("MIDISTSMIX") + number).text(), m.status);
    integer((CoreStrg("MIDICTRMIX") + number).text(), m.controller);
  }
  return CoreXmld::saveFile(masterPath_, document_->serialize(true, false));
}
