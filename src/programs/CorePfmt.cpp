#include "programs/CorePfmt.h"

#include <cmath>
#include <memory>

#include "base/CoreAnsx.h"
#include "base/CoreLogr.h"
#include "docstore/CoreFsys.h"
#include "docstore/CoreXmld.h"
#include "docstore/CoreXnod.h"
#include "modulation/CoreFlsh.h"
#include "modulation/CoreUnit.h"
#include "programs/CoreProg.h"
#include "vectors/CoreVect.h"

namespace {

// The tag being read, for the error line of a rejected program.
struct Rejected {
  CoreStrg tag;
};

CoreStrg tag(const char* t) { return CoreStrg(t); }
CoreStrg numbered(const char* stem, int32_t n) { return CoreStrg(stem) + CoreStrg(n); }

void logValue(const CoreStrg& name, const CoreStrg& value, int depth = 0) {
  CoreLogr::trace(name + ":" + value, depth, 3);
}

// Typed reads of one element's children with the documented defaults.
class Reader {
 public:
  explicit Reader(const CoreXnod& node) : n_(node) {}
  bool has(const char* t) const { return n_.hasValue(tag(t)); }
  CoreStrg text(const char* t, const char* fallback = "") const {
    return n_.readTextOr(tag(t), CoreStrg(fallback));
  }
  double real(const char* t, double fallback = 0.0) const {
    return CoreFlsh::finite(n_.readRealOr(tag(t), fallback), fallback);
  }
  int32_t integer(const char* t, int32_t fallback = 0) const {
    return has(t) ? CoreUnit::toInt32(n_.readReal(tag(t))) : fallback;
  }
  bool flag(const char* t) const { return has(t) && n_.readReal(tag(t)) > 0.0; }
  // dB to a factor, kept finite.
  double decibels(const char* t, double fallbackFactor) const {
    if (!has(t)) return fallbackFactor;
    return CoreFlsh::finite(CoreUnit::factorFromDecibels(n_.readReal(tag(t))), fallbackFactor);
  }
  const CoreXnod* child(const char* t) const { return n_.findChild(tag(t)); }
  const CoreXnod* child(const CoreStrg& t) const { return n_.findChild(t); }

 private:
  const CoreXnod& n_;
};

// Builds kernel trees from ELEMENT nodes.
class TreeBuilder {
 public:
  TreeBuilder(CoreProg& program, const CorePfmt::Context& context, bool raw)
      : p_(program), c_(context), raw_(raw) {}

  CoreVect::Child element(const CoreXnod& e, const CoreStrg& name, int depth) {
    CoreLogr::trace(CoreStrg("ELEMENT"), depth, 3);
    const Reader r(e);
    CoreVect::Child child;
    if (const CoreXnod* v = r.child("VECTOR")) {
      child.vector = vector(*v, name, depth + 1);
    } else if (r.has("FILENAME")) {
      if (r.has("FILEPATH")) p_.filePath = r.text("FILEPATH");
      child.path = p_.basePath + p_.filePath + r.text("FILENAME");
      logValue(tag("FILENAME"), child.path, depth);
      if (r.child("CONTROL")) {
        child.vector = describedVector(child.path, name, depth + 1);
      } else {
        child.leaf = true;
      }
    } else {
      throw Rejected{tag("ELEMENT")};
    }
    child.weight = r.real("WEIGHT");
    child.busWeight = r.real("BUSWEIGHT");
    logValue(tag("WEIGHT"), CoreStrg(child.weight), depth);
    logValue(tag("BUSWEIGHT"), CoreStrg(child.busWeight), depth);
    if (const CoreXnod* control = r.child("CONTROL"); control && child.vector) {
      CoreLogr::trace(CoreStrg("CONTROL"), depth, 3);
      applyControl(*child.vector, *control);
    }
    return child;
  }

 private:
  // A vector kept in a description file of its own, read through the file system.
  std::unique_ptr<CoreVect> describedVector(const CoreStrg& path, const CoreStrg& name, int depth) {
    CoreXmld doc;
    const CoreXnod* v = nullptr;
    if (c_.fsys) {
      const int32_t id = c_.fsys->registerItem(path);
      c_.fsys->cacheFile(id, true);
      const CoreStrg text = c_.fsys->textOf(id);
      try {
        if (!text.empty() && doc.parseText(text) && doc.root()) v = findVector(*doc.root());
      } catch (const CoreAnsx&) {
        v = nullptr;
      }
    }
    if (!v) {
      CoreLogr::fileError(path, 1);
      throw CoreAnsx("vector description unreadable");
    }
    return vector(*v, name, depth);
  }

  static const CoreXnod* findVector(const CoreXnod& root) {
    if (const CoreXnod* v = root.findChild(tag("VECTOR"))) return v;
    for (int32_t i = 0; i < root.childCount(); ++i)
      if (const CoreXnod* v = root.child(i)->findChild(tag("VECTOR"))) return v;
    return nullptr;
  }

  std::unique_ptr<CoreVect> vector(const CoreXnod& v, const CoreStrg& name, int depth) {
    CoreLogr::trace(CoreStrg("VECTOR"), depth, 3);
    auto vect = std::make_unique<CoreVect>(name, p_.sources());
    const CoreXnod* commonNode = v.findChild(tag("COMMON"));
    const CoreXnod empty(tag("COMMON"));
    const Reader common(commonNode ? *commonNode : empty);
    vect->minValue = common.real("MINVALUE");
    vect->maxValue = common.real("MAXVALUE");
    vect->busMinValue = common.real("BUSMINVALUE");
    vect->busMaxValue = common.real("BUSMAXVALUE");
    vect->unitValue = common.text("UNITVALUE");
    vect->liquidFactor = CoreUnit::fromPercent(common.real("LIQUIDFACTOR"));
    vect->liquidSource = common.text("LIQUIDSOURCE", "ON");
    vect->switchMode = common.flag("SWITCHMODE");
    if (!raw_) {
      int32_t offset = common.integer("OFFSET");
      if (c_.offsetLimit >= 0 && offset > c_.offsetLimit) offset = c_.offsetLimit;
      vect->offset = offset;
      const int32_t fadeIn = common.integer("FADEIN");
      vect->fadeIn = fadeIn > offset ? offset : fadeIn;
      const CoreXnod* ot[2] = {common.child("OT1"), common.child("OT2")};
      if (ot[0] || ot[1]) {
        for (int s = 0; s < 2; ++s) {
          if (!ot[s]) continue;
          const Reader set(*ot[s]);
          vect->fadeSets[static_cast<size_t>(s)].fadeOut = set.integer("FADEOUT");
          vect->fadeSets[static_cast<size_t>(s)].length = set.integer("LENGTH");
        }
      } else {
        vect->fadeSets[0].fadeOut = common.integer("FADEOUT");
        vect->fadeSets[0].length = common.has("LENGTH") ? common.integer("LENGTH") : -1;
        vect->fadeSets[1].length = -1;
      }
    }
    vect->fadeInCurve = static_cast<int16_t>(common.integer("FADEINCURVE", -1));
    vect->fadeOutCurve = static_cast<int16_t>(common.integer("FADEOUTCURVE", -1));
    int32_t index = 0;
    for (int32_t i = 0; i < v.childCount(); ++i) {
      const CoreXnod* e = v.child(i);
      if (e->isText() || !e->name().sameKey(tag("ELEMENT"))) continue;
      vect->addChild(element(*e, name + "_" + CoreStrg(index), depth + 1));
      ++index;
    }
    vect->finishChildren();
    // A vector follows "OFF" until a CONTROL names its sources; the liquid control follows the
    // vector's own liquid source.
    vect->vectorControl().assign(CoreStrg(""), vect->minValue, vect->maxValue);
    vect->liquidControl().assign(vect->liquidSource, -1.0, 1.0);
    vect->gainpadControl().assign(CoreStrg("ON"), -1.0, 1.0);
    vect->gainControl().assign(CoreStrg(""), -1.0, 1.0);
    vect->panControl().assign(CoreStrg("OFF"), -1.0, 1.0);
    return vect;
  }

  void applyControl(CoreVect& v, const CoreXnod& controlNode) {
    const Reader c(controlNode);
    CoreVect::ControlSettings& s = v.control;
    s.sourceOn = c.has("SOURCE");
    s.busOn = c.has("BUSSOURCE");
    s.busSource = c.text("BUSSOURCE");
    if (s.sourceOn && c.has("MINVALUE")) {
      s.minValue = c.real("MINVALUE");
      s.maxValue = c.real("MAXVALUE");
    } else {
      s.minValue = v.minValue;
      s.maxValue = v.maxValue;
    }
    v.vectorControl().assign(s.sourceOn ? c.text("SOURCE") : CoreStrg(""), s.minValue, s.maxValue);
    if (raw_) return;
    s.panFactor = c.real("PANFACTOR") / 90.0;
    v.panControl().assign(c.text("PANSOURCE", "OFF"), -1.0, 1.0);
    s.padFactor = c.decibels("GAINPADFACTOR", 1.0);
    v.gainpadControl().assign(c.text("GAINPADSOURCE", "ON"), -1.0, 1.0);
    s.gainSourceOn = c.has("GAINSOURCE");
    v.gainControl().assign(s.gainSourceOn ? c.text("GAINSOURCE") : CoreStrg(""), -1.0, 1.0);
    s.normalise = c.has("GAINLIMITER");
    s.mixFactor = c.real("GAINLIMITER", 1.0);
    s.referenceKey = c.real("GAINHANDLE", v.minValue);
  }

  CoreProg& p_;
  const CorePfmt::Context& c_;
  bool raw_;
};

CoreLfos::Setup lfoSetup(const Reader& r) {
  CoreLfos::Setup s;
  s.MINRATE = r.real("MINRATE");
  s.MAXRATE = r.real("MAXRATE");
  s.SOURCE = r.text("SOURCE");
  s.SHAPE = r.text("SHAPE");
  s.PHASEFACTOR = r.real("PHASEFACTOR");
  s.PHASESOURCE = r.text("PHASESOURCE");
  s.RATEQUANTIZE = r.real("RATEQUANTIZE");
  return s;
}

CoreEnvf::Setup evfSetup(const Reader& r, int32_t rate) {
  CoreEnvf::Setup s;
  s.MINATTACK = r.real("MINATTACK");
  s.MAXATTACK = r.real("MAXATTACK");
  s.ATTACKSOURCE = r.text("ATTACKSOURCE");
  s.MINRELEASE = r.real("MINRELEASE");
  s.MAXRELEASE = r.real("MAXRELEASE");
  s.RELEASESOURCE = r.text("RELEASESOURCE");
  s.OUTPUTBALANCE = r.real("OUTPUTBALANCE");
  s.EXP = r.real("EXP");
  s.BUSBALANCESOURCE = r.text("BUSBALANCESOURCE", "OFF");
  s.DATTACKSOURCE = r.text("DATTACKSOURCE", "OFF");
  s.DRELEASESOURCE = r.text("DRELEASESOURCE", "OFF");
  s.ENABLEEATERT = r.has("ENABLEEATERT") && r.real("ENABLEEATERT") != 0.0 ? 1.0 : 0.0;
  s.OATTACKSOURCE = r.text("OATTACKSOURCE", "OFF");
  s.ORELEASESOURCE = r.text("ORELEASESOURCE", "OFF");
  s.FILTERSOURCE = r.text("FILTERSOURCE", "OFF");
  s.FILTERFREQUENCY = r.real("FILTERFREQUENCY");
  s.FILTERORDER = r.integer("FILTERORDER");
  s.sampleRate = rate;
  return s;
}

CoreEnvl::Setup envSetup(const CoreXnod& e, int32_t rate) {
  CoreEnvl::Setup s;
  s.sampleRate = rate;
  const CoreXnod empty(tag("X"));
  auto section = [&](const char* t) -> const CoreXnod& {
    const CoreXnod* n = e.findChild(tag(t));
    return n ? *n : empty;
  };
  const Reader control(section("CONTROL"));
  s.CONTROL.ACTIVSOURCE = control.text("ACTIVSOURCE");
  s.CONTROL.DEACTIVSOURCE = control.text("DEACTIVSOURCE");
  const CoreXnod& levelNode = section("LEVEL");
  const Reader level(levelNode);
  s.LEVEL.START = level.real("START");
  s.LEVEL.ATTACK = level.real("ATTACK");
  s.LEVEL.BREAK = level.real("BREAK");
  s.LEVEL.SUSTAIN = level.real("SUSTAIN");
  if (const CoreXnod* c = levelNode.findChild(tag("COMMON"))) {
    const Reader common(*c);
    s.LEVEL.COMMON.MODFACTOR = common.real("MODFACTOR");
    s.LEVEL.COMMON.MODSOURCE = common.text("MODSOURCE");
  }
  const CoreXnod& timeNode = section("TIME");
  const Reader time(timeNode);
  s.TIME.ATTACK = time.real("ATTACK");
  s.TIME.DECAY = time.real("DECAY");
  s.TIME.SLOPE = time.real("SLOPE");
  s.TIME.RELEASE = time.real("RELEASE");
  if (const CoreXnod* c = timeNode.findChild(tag("COMMON"))) {
    const Reader common(*c);
    s.TIME.COMMON.MODFACTOR = common.real("MODFACTOR");
    s.TIME.COMMON.MODSOURCE = common.text("MODSOURCE");
  }
  const Reader curve(section("CURVE"));
  s.CURVE.ATTACK = curve.integer("ATTACK");
  s.CURVE.DECAY = curve.integer("DECAY");
  s.CURVE.SLOPE = curve.integer("SLOPE");
  s.CURVE.RELEASE = curve.integer("RELEASE");
  return s;
}

CorePrmt::Setup prmSetup(const Reader& r) {
  CorePrmt::Setup s;
  s.A = r.text("A");
  s.B = r.text("B");
  s.FUN = r.text("FUN");
  s.LABEL = r.text("LABEL");
  s.PRELABEL = r.text("PRELABEL");
  s.UNIT = r.text("UNIT");
  s.PREUNIT = r.text("PREUNIT");
  s.POSTUNIT = r.text("POSTUNIT");
  s.MINVALUE = r.real("MINVALUE");
  s.MAXVALUE = r.real("MAXVALUE");
  s.hasBARMINVALUE = r.has("BARMINVALUE");
  s.BARMINVALUE = r.real("BARMINVALUE");
  s.hasBARMAXVALUE = r.has("BARMAXVALUE");
  s.BARMAXVALUE = r.real("BARMAXVALUE");
  s.VISIBLE = r.real("VISIBLE");
  return s;
}

}  // namespace

double CorePfmt::gainDb(double position) {
  if (!(position > 0.0)) return kFloorDb;
  const double db = 20.0 * std::log10(2.0 * position);
  return (std::isfinite(db) && db > kFloorDb) ? db : kFloorDb;
}

void CorePfmt::readHeader(CoreProg& program, const CoreXnod& node, const Context& context) {
  (void)context;
  const Reader r(node);
  CoreProg::Header& h = program.header;
  auto logText = [](const char* t, const CoreStrg& v) { logValue(tag(t), v); };
  h.name = r.text("NAME");
  logText("NAME", h.name);
  h.category = r.text("CATEGORY");
  logText("CATEGORY", h.category);
  h.subCategory1 = r.text("SUBCATEGORY1");
  h.subCategory2 = r.text("SUBCATEGORY2");
  h.description = r.text("DESCRIPTION");
  h.vectorFileName = r.text("VECTORFILENAME", "0");
  logText("VECTORFILENAME", h.vectorFileName);
  for (int32_t i = 0; i < CoreProg::kMixes; ++i) {
    const CoreStrg mix = numbered("MIX", i + 1);
    h.mixPreset[static_cast<size_t>(i)] = r.has(mix.text());
    h.mixValue[static_cast<size_t>(i)] = r.real(mix.text());
    // A mix without preset keeps no value of the program's and is not shown.
    program.userControl(i).setRaw(h.mixValue[static_cast<size_t>(i)], h.mixPreset[static_cast<size_t>(i)], true);
    if (h.mixPreset[static_cast<size_t>(i)]) logValue(mix, CoreStrg(h.mixValue[static_cast<size_t>(i)]));
  }
  if (r.has("GAINOUT")) program.userControl(CoreUctl::kGainOut).setRaw(0.5 * r.decibels("GAINOUT", 1.0), true, true);
  if (r.has("GAININ")) program.userControl(CoreUctl::kGainIn).setRaw(0.5 * r.decibels("GAININ", 1.0), true, true);
  h.gainPadOut = r.decibels("GAINPADOUT", 1.0);
  h.gainPadIn = r.decibels("GAINPADIN", 1.0);
  h.gainPadInTrimSource = r.text("GAINPADINTRIMSOURCE");
  h.gainPadOutTrimSource = r.text("GAINPADOUTTRIMSOURCE");
  // A trim without a source is the constant 1 (an empty source over the range 1 .. 1).
  auto attach = [](CoreMctl& c, bool given, const CoreStrg& source) {
    if (given)
      c.assign(source, 0.0, 1.0);
    else
      c.assign(CoreStrg(""), 1.0, 1.0);
  };
  attach(program.trimInControl(), r.has("GAINPADINTRIMSOURCE"), h.gainPadInTrimSource);
  attach(program.trimOutControl(), r.has("GAINPADOUTTRIMSOURCE"), h.gainPadOutTrimSource);
  h.gainIr = r.decibels("GAINIR", 1.0);
  h.lookAhead = r.integer("LOOKAHEAD");
  h.lookAheadSource = r.text("LOOKAHEADSOURCE", "ON");
  program.lookAheadControl().assign(h.lookAheadSource, 0.0, 1.0);
  h.programRate = r.integer("PROGRAMRATE", -1);
  h.alignBalance = r.real("ALIGNBALANCE");
  h.trainMode = r.flag("TRAINMODE");
  h.jitterMode = r.flag("JITTERMODE");
  h.hrtfMode = r.flag("HRTFMODE");
  h.syncVersion = r.integer("SYNCVERSION");
  h.alignOffset = r.integer("ALIGNOFFSET");
  h.forceOt2 = r.flag("FORCEOT2");
  h.invisibleThread = r.flag("INVISIBLETHREAD");
  h.forceHybrid = r.flag("FORCEHYBRID");
  h.forceMono = r.flag("FORCEMONO");
  h.hDim = r.integer("HDIM");
  logValue(tag("GAINPADIN"), CoreStrg(h.gainPadIn));
  logValue(tag("GAINPADOUT"), CoreStrg(h.gainPadOut));
  logValue(tag("GAINIR"), CoreStrg(h.gainIr));
  logValue(tag("LOOKAHEAD"), CoreStrg(h.lookAhead));
  logValue(tag("PROGRAMRATE"), CoreStrg(h.programRate));
  logValue(tag("SYNCVERSION"), CoreStrg(h.syncVersion));
  logValue(tag("HDIM"), CoreStrg(h.hDim));
}

void CorePfmt::readModulators(CoreProg& program, const CoreXnod& node, const Context& context) {
  const Reader r(node);
  CoreProg::Header& h = program.header;
  for (int32_t i = 0; i < CoreProg::kLfos; ++i) {
    if (const CoreXnod* e = r.child(numbered("LFO", i + 1)))
      program.lfo(i).setup(lfoSetup(Reader(*e)));
    else
      program.lfo(i).reset();
  }
  for (int32_t i = 0; i < CoreProg::kRawFuns; ++i) {
    CoreRawf::Setup s;
    s.sampleRate = context.sampleRate;
    if (const CoreXnod* e = r.child(numbered("RAWFUN", i + 1))) {
      const Reader f(*e);
      s.A = f.text("A");
      s.B = f.text("B");
      s.C = f.text("C");
      s.D = f.text("D");
      s.FUN = f.text("FUN");
    }
    program.rawFun(i).setup(s);
  }
  for (int32_t i = 0; i < CoreProg::kFuns; ++i) {
    if (const CoreXnod* e = r.child(numbered("FUN", i + 1))) {
      const Reader f(*e);
      program.fun(i).setup(CoreFunc::Setup{f.text("A"), f.text("B"), f.text("FUN")});
    } else {
      program.fun(i).reset();
    }
  }
  for (int32_t i = 0; i < CoreProg::kEvfs; ++i) {
    const CoreXnod* e = r.child(numbered("EVF", i + 1));
    // Follower 5 listens to the second input pair; without its own element it takes EVF1's.
    if (!e && i == 4) e = r.child("EVF1");
    if (e)
      program.evf(i).setup(evfSetup(Reader(*e), context.sampleRate));
    else
      program.evf(i).reset();
  }
  for (int32_t i = 0; i < CoreProg::kDnms; ++i) {
    if (const CoreXnod* e = r.child(numbered("DNM", i + 1))) {
      const Reader d(*e);
      CoreDynm::Setup s;
      s.THRESHOLDSOURCE = d.text("THRESHOLDSOURCE");
      s.INPUTSOURCE = d.text("INPUTSOURCE");
      s.hasRATIOCOMSOURCE = d.has("RATIOCOMSOURCE");
      s.RATIOCOMSOURCE = d.text("RATIOCOMSOURCE");
      s.hasRATIOEXPSOURCE = d.has("RATIOEXPSOURCE");
      s.RATIOEXPSOURCE = d.text("RATIOEXPSOURCE");
      s.RANGELIMIT = d.real("RANGELIMIT");
      s.RATIOCURVE = d.real("RATIOCURVE", -1.0);
      s.GAINPADFACTOR = d.real("GAINPADFACTOR");
      program.dnm(i).setup(s);
    } else {
      program.dnm(i).reset();
    }
  }
  for (int32_t i = 0; i < CoreProg::kEnvs; ++i) {
    if (const CoreXnod* e = r.child(numbered("ENV", i + 1)))
      program.env(i).setup(envSetup(*e, context.sampleRate));
    else
      program.env(i).reset();
  }
  // Feedback and dry: a source counts only together with its factor.
  const bool feedback = r.has("FEEDBACKFACTOR");
  h.feedbackFactor = feedback ? CoreUnit::fromPercent(r.real("FEEDBACKFACTOR")) : 0.0;
  h.feedbackSource = feedback ? r.text("FEEDBACKSOURCE") : CoreStrg("");
  if (feedback && r.has("FEEDBACKSOURCE"))
    program.feedbackControl().assign(h.feedbackSource, 0.0, 1.0);
  else
    program.feedbackControl().assign(CoreStrg(""), 1.0, 1.0);
  const bool dry = r.has("GAINDRYFACTOR");
  h.gainDryFactor = dry ? r.decibels("GAINDRYFACTOR", 0.0) : 0.0;
  h.gainDrySource = dry ? r.text("GAINDRYSOURCE") : CoreStrg("");
  if (dry && r.has("GAINDRYSOURCE"))
    program.dryControl().assign(h.gainDrySource, 0.0, 1.0);
  else
    program.dryControl().assign(CoreStrg(""), 1.0, 1.0);
  h.smooth = r.integer("SMOOTH", -1);
  logValue(tag("FEEDBACKFACTOR"), CoreStrg(h.feedbackFactor));
  logValue(tag("GAINDRYFACTOR"), CoreStrg(h.gainDryFactor));
  logValue(tag("SMOOTH"), CoreStrg(h.smooth));
  const CoreXnod* display = r.child("DISPLAY");
  for (int32_t i = 0; i < CoreProg::kPrms; ++i) {
    const CoreXnod* e = nullptr;
    if (display) {
      e = display->findChild(numbered("TESSELPRM", i + 1));
      if (!e) e = display->findChild(numbered("PRM", i + 1));
    }
    if (e)
      program.prm(i).setup(prmSetup(Reader(*e)));
    else
      program.prm(i).clear(true);
  }
}

bool CorePfmt::readSlots(CoreProg& program, const CoreXnod& node, const Context& context) {
  const Reader r(node);
  const CoreProg::Header& h = program.header;
  for (int32_t n = 1; n <= program.harmonicSlots(); ++n) {
    const CoreXnod* hn = r.child(numbered("H", n));
    if (!hn) break;
    const CoreXnod* element = hn->findChild(tag("ELEMENT"));
    if (!element) throw Rejected{numbered("H", n)};
    CoreSlot& slot = program.slot(n - 1);
    program.filePath = CoreStrg("");
    slot.used = true;
    TreeBuilder harmonic(program, context, false);
    CoreVect::Child root = harmonic.element(*element, numbered("VECTOR", n - 1), 0);
    if (!root.vector) {
      // A slot whose element is a single file: a vector of one leaf around it.
      auto v = std::make_unique<CoreVect>(numbered("VECTOR", n - 1), program.sources());
      v->addChild(std::move(root));
      v->finishChildren();
      root.vector = std::move(v);
    }
    slot.root = std::move(root.vector);
    const Reader hr(*hn);
    slot.secondSet = hr.flag("FORCEOT2");
    slot.trainThreshold = Reader(*element).has("TRAINTHRESHOLD")
                              ? Reader(*element).decibels("TRAINTHRESHOLD", 0.0)
                              : 0.0;
    if (n == 1 && h.forceHybrid) {
      // The same element once more, into the hybrid slot.
      CoreSlot& hybrid = program.hybridSlot();
      program.filePath = CoreStrg("");
      hybrid.used = true;
      TreeBuilder again(program, context, false);
      CoreVect::Child copy = again.element(*element, numbered("VECTOR", program.harmonicSlots()), 0);
      hybrid.root = std::move(copy.vector);
      hybrid.trainThreshold = slot.trainThreshold;
    }
    ++program.slotsRead;
  }
  if (program.slotsRead == 0) throw Rejected{tag("H1")};
  for (int32_t n = 1; n <= CoreProg::kRawSlots; ++n) {
    const CoreXnod* rn = r.child(numbered("RAW", n));
    if (!rn) continue;
    const CoreXnod* element = rn->findChild(tag("ELEMENT"));
    if (!element) throw Rejected{numbered("RAW", n)};
    CoreSlot& slot = program.rawSlot(n - 1);
    program.filePath = CoreStrg("");
    slot.used = true;
    TreeBuilder raw(program, context, true);
    CoreVect::Child root = raw.element(*element, numbered("RAW", n), 0);
    slot.root = std::move(root.vector);
  }
  return true;
}

bool CorePfmt::read(CoreProg& program, const CoreXnod* root, const Context& context) {
  CoreLogr::trace(CoreStrg("load_ starts"), 0, 5);
  const CoreStrg base = program.basePath;
  program.clearProgram();
  program.basePath = base;
  const CoreXnod* p = root ? root->findChild(tag("PROGRAM")) : nullptr;
  try {
    if (!p) throw Rejected{tag("PROGRAM")};
    program.loaded = true;
    readHeader(program, *p, context);
    readModulators(program, *p, context);
    readSlots(program, *p, context);
  } catch (const Rejected& r) {
    CoreLogr::tagError(r.tag);
    program.clearProgram();
    program.basePath = base;
    return false;
  } catch (const CoreAnsx&) {
    program.clearProgram();
    program.basePath = base;
    return false;
  }
  CoreLogr::trace(CoreStrg("load_ ends"), 0, 5);
  return program.loaded;
}

void CorePfmt::write(CoreProg& program, CoreXnod* root) {
  if (!root) return;
  CoreXnod* p = root->walkPath({tag("PROGRAM")});
  if (!p) return;
  for (int32_t i = 0; i < CoreProg::kMixes; ++i) {
    const std::vector<CoreStrg> path{tag("PROGRAM"), numbered("MIX", i + 1)};
    if (program.header.mixPreset[static_cast<size_t>(i)])
      root->setValueAtPath(path, CoreXnod::makeReal(program.userControl(i).getRaw(true)));
    else
      root->removePath(path);
  }
  root->setValueAtPath({tag("PROGRAM"), tag("GAININ")},
                       CoreXnod::makeReal(gainDb(program.userControl(CoreUctl::kGainIn).getNormalized(true))));
  root->setValueAtPath({tag("PROGRAM"), tag("GAINOUT")},
                       CoreXnod::makeReal(gainDb(program.userControl(CoreUctl::kGainOut).getNormalized(true))));
}
