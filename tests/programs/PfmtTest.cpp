#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "base/CorePool.h"
#include "docstore/CoreFsys.h"
#include "docstore/CoreXmld.h"
#include "programs/CorePfmt.h"
#include "programs/CoreProg.h"
#include "support/TempDir.h"

namespace {

struct Fixture {
  CorePool pool;
  CoreFsys fsys{&pool};
  CoreProg prog{&pool, 10, 44100, nullptr};
  CoreXmld doc;
  CorePfmt::Context context;
  Fixture() { context.fsys = &fsys; }
  bool read(const std::string& text) {
    doc.parseText(CoreStrg(text.c_str()));
    return CorePfmt::read(prog, doc.root(), context);
  }
};

const char* kMinimal =
    "<PROGRAM><NAME> Warm Tape </NAME><H1><ELEMENT><VECTOR><COMMON></COMMON></VECTOR></ELEMENT></H1>"
    "</PROGRAM>";

}  // namespace

TEST(PfmtTest, MinimalProgramTakesEveryDefault) {
  Fixture f;
  ASSERT_TRUE(f.read(kMinimal));
  const CoreProg::Header& h = f.prog.header;
  EXPECT_STREQ(h.name.text(), "Warm Tape");
  EXPECT_STREQ(h.vectorFileName.text(), "0");
  EXPECT_DOUBLE_EQ(h.gainPadIn, 1.0);
  EXPECT_DOUBLE_EQ(h.gainPadOut, 1.0);
  EXPECT_DOUBLE_EQ(h.gainIr, 1.0);
  EXPECT_EQ(h.programRate, -1);
  EXPECT_EQ(h.smooth, -1);
  EXPECT_EQ(h.lookAhead, 0);
  EXPECT_STREQ(h.lookAheadSource.text(), "ON");
  EXPECT_DOUBLE_EQ(h.feedbackFactor, 0.0);
  EXPECT_DOUBLE_EQ(h.gainDryFactor, 0.0);
  EXPECT_EQ(f.prog.slotsRead, 1);
  EXPECT_TRUE(f.prog.slot(0).used);
  EXPECT_FALSE(f.prog.slot(1).used);
  // Controls without sources: the trims, feedback and dry are the constant 1, look-ahead follows "ON".
  EXPECT_DOUBLE_EQ(f.prog.trimInControl().evaluate(), 1.0);
  EXPECT_DOUBLE_EQ(f.prog.feedbackControl().evaluate(), 1.0);
  EXPECT_DOUBLE_EQ(f.prog.lookAheadControl().evaluate(), 1.0);
  EXPECT_FALSE(f.prog.header.mixPreset[0]);
}

TEST(PfmtTest, UnitConversionsAndPresence) {
  Fixture f;
  ASSERT_TRUE(f.read(
      "<PROGRAM><GAINPADIN> -6 </GAINPADIN><GAINPADOUT>0</GAINPADOUT><FEEDBACKFACTOR> 50 "
      "</FEEDBACKFACTOR><GAINDRYSOURCE> LFO1 </GAINDRYSOURCE><MIX3> 0.25 </MIX3>"
      "<GAININ> 0 </GAININ><GAINOUT> -6 </GAINOUT><LOOKAHEAD> 10000 </LOOKAHEAD><HDIM> 2 </HDIM>"
      "<FORCEMONO> 1 </FORCEMONO><TRAINMODE> 0 </TRAINMODE>"
      "<H1><ELEMENT><VECTOR><COMMON><OFFSET> 100 </OFFSET><FADEIN> 300 </FADEIN>"
      "<LIQUIDFACTOR> 50 </LIQUIDFACTOR><FADEOUT> 7 </FADEOUT></COMMON></VECTOR></ELEMENT></H1>"
      "<H3><ELEMENT><VECTOR><COMMON></COMMON></VECTOR></ELEMENT></H3></PROGRAM>"));
  const CoreProg::Header& h = f.prog.header;
  EXPECT_NEAR(h.gainPadIn, 0.501187, 1e-6);
  EXPECT_DOUBLE_EQ(h.gainPadOut, 1.0);  // a bare "0" is absent
  EXPECT_DOUBLE_EQ(h.feedbackFactor, 0.5);
  EXPECT_DOUBLE_EQ(h.gainDryFactor, 0.0);  // a dry source without its factor is ignored
  EXPECT_DOUBLE_EQ(f.prog.dryControl().evaluate(), 1.0);
  EXPECT_TRUE(h.mixPreset[2]);
  EXPECT_DOUBLE_EQ(f.prog.userControl(2).getRaw(true), 0.25);
  EXPECT_DOUBLE_EQ(f.prog.userControl(8).getRaw(true), 0.5);  // 0 dB: 0.5 x 10^0
  EXPECT_NEAR(f.prog.userControl(9).getRaw(true), 0.5 * 0.501187, 1e-6);
  EXPECT_EQ(h.lookAhead, 10000);
  EXPECT_EQ(h.hDim, 2);
  EXPECT_TRUE(h.forceMono);
  EXPECT_FALSE(h.trainMode);
  EXPECT_EQ(f.prog.slotsRead, 1);  // H3 without H2 is not read
  const CoreVect& v = *f.prog.slot(0).root;
  EXPECT_EQ(v.offset, 100);
  EXPECT_EQ(v.fadeIn, 100);  // never more than the offset
  EXPECT_DOUBLE_EQ(v.liquidFactor, 0.5);
  EXPECT_EQ(v.fadeSets[0].fadeOut, 7);
  EXPECT_EQ(v.fadeSets[0].length, -1);
  EXPECT_EQ(v.fadeSets[1].length, -1);
}

TEST(PfmtTest, ModulatorElementsAndFallbacks) {
  Fixture f;
  ASSERT_TRUE(f.read(
      "<PROGRAM><LFO2><MINRATE> 1 </MINRATE><MAXRATE> 3 </MAXRATE><SHAPE> Sine </SHAPE></LFO2>"
      "<EVF1><MINATTACK> 1000 </MINATTACK><EXP> 2 </EXP></EVF1>"
      "<DISPLAY><TESSELPRM2><LABEL> tessel </LABEL></TESSELPRM2><PRM2><LABEL> plain </LABEL></PRM2>"
      "<PRM3><LABEL> third </LABEL></PRM3></DISPLAY>"
      "<H1><ELEMENT><VECTOR><COMMON></COMMON></VECTOR></ELEMENT></H1></PROGRAM>"));
  EXPECT_DOUBLE_EQ(f.prog.lfo(1).settings().MAXRATE, 3.0);
  EXPECT_DOUBLE_EQ(f.prog.lfo(0).settings().MAXRATE, 0.0);
  EXPECT_STREQ(f.prog.prm(1).text(CorePrmt::kLabel).text(), "tessel");
  EXPECT_STREQ(f.prog.prm(2).text(CorePrmt::kLabel).text(), "third");
  // Follower 5 without its own element has follower 1's settings.
  EXPECT_EQ(f.prog.evf(4).active(), f.prog.evf(0).active());
  EXPECT_DOUBLE_EQ(f.prog.evf(4).minimumAttack(), f.prog.evf(0).minimumAttack());
  EXPECT_DOUBLE_EQ(f.prog.evf(0).minimumAttack(), 44.0);  // 1000 µs at 44.1 kHz
}

TEST(PfmtTest, KernelTreeForms) {
  TempDir dir;
  dir.write("VEC/DESC.XML",
            "<VECTOR><COMMON><MINVALUE> -1 </MINVALUE><MAXVALUE> 1 </MAXVALUE></COMMON>"
            "<ELEMENT><FILENAME> A.WAV </FILENAME><WEIGHT> -1 </WEIGHT></ELEMENT>"
            "<ELEMENT><FILENAME> B.WAV </FILENAME><WEIGHT> 1 </WEIGHT></ELEMENT></VECTOR>");
  Fixture f;
  f.fsys.setBaseFolder(CoreStrg(dir.folder().c_str()));
  ASSERT_TRUE(f.read(
      "<PROGRAM><H1><ELEMENT><VECTOR><COMMON><MINVALUE> 0 </MINVALUE><MAXVALUE> 2 </MAXVALUE></COMMON>"
      "<ELEMENT><FILEPATH> VEC\\ </FILEPATH><FILENAME> DESC.XML </FILENAME><WEIGHT> 0 </WEIGHT>"
      "<CONTROL><SOURCE> MIX1 </SOURCE><PANFACTOR> 45 </PANFACTOR><GAINLIMITER> 0.5 </GAINLIMITER>"
      "</CONTROL></ELEMENT>"
      "<ELEMENT><FILENAME> C.WAV </FILENAME><WEIGHT> 2 </WEIGHT></ELEMENT></VECTOR></ELEMENT></H1>"
      "<RAW1><ELEMENT><VECTOR><COMMON><OFFSET> 9 </OFFSET></COMMON><ELEMENT><FILENAME> R.TXT "
      "</FILENAME></ELEMENT></VECTOR></ELEMENT></RAW1></PROGRAM>"));
  const CoreVect& root = *f.prog.slot(0).root;
  EXPECT_STREQ(root.name().text(), "VECTOR0");
  ASSERT_EQ(root.childCount(), 2);
  EXPECT_FALSE(root.leaf());
  const CoreVect::Child& described = root.child(0);
  ASSERT_TRUE(described.vector);
  EXPECT_STREQ(described.vector->name().text(), "VECTOR0_0");
  EXPECT_TRUE(described.vector->leaf());
  EXPECT_STREQ(described.vector->child(1).path.text(), "VEC\\B.WAV");
  EXPECT_TRUE(described.vector->control.sourceOn);
  EXPECT_DOUBLE_EQ(described.vector->control.minValue, -1.0);  // the vector's own range
  EXPECT_DOUBLE_EQ(described.vector->control.panFactor, 0.5);
  EXPECT_TRUE(described.vector->control.normalise);
  EXPECT_DOUBLE_EQ(described.vector->control.mixFactor, 0.5);
  // The FILEPATH stays current for the elements that follow in the slot.
  EXPECT_TRUE(root.child(1).leaf);
  EXPECT_STREQ(root.child(1).path.text(), "VEC\\C.WAV");
  EXPECT_DOUBLE_EQ(root.child(1).weight, 2.0);
  ASSERT_TRUE(f.prog.rawSlot(0).used);
  EXPECT_EQ(f.prog.rawSlot(0).root->offset, 0);  // raw vectors have no offset

  // A described vector whose file is missing rejects the program.
  Fixture g;
  g.fsys.setBaseFolder(CoreStrg(dir.folder().c_str()));
  EXPECT_FALSE(g.read(
      "<PROGRAM><H1><ELEMENT><FILENAME> NONE.XML </FILENAME><CONTROL></CONTROL></ELEMENT></H1></PROGRAM>"));
  EXPECT_FALSE(g.prog.loaded);
}

TEST(PfmtTest, RejectedDocuments) {
  for (const char* text : {"<NOTPROGRAM></NOTPROGRAM>", "<PROGRAM><NAME> x </NAME></PROGRAM>",
                           "<PROGRAM><H1><WRONG></WRONG></H1></PROGRAM>",
                           "<PROGRAM><H1><ELEMENT><WEIGHT> 1 </WEIGHT></ELEMENT></H1></PROGRAM>"}) {
    Fixture f;
    EXPECT_FALSE(f.read(text)) << text;
    EXPECT_FALSE(f.prog.loaded) << text;
    EXPECT_FALSE(f.prog.slot(0).used) << text;
  }
  Fixture f;
  EXPECT_FALSE(CorePfmt::read(f.prog, nullptr, f.context));
}

TEST(PfmtTest, WriteBackChangesOnlyTheEditedValues) {
  struct Case {
    double position;
    double db;
  };
  for (const Case& c : {Case{0.5, 0.0}, Case{0.0, -192.64}, Case{1.0, 20 * std::log10(2.0)},
                        Case{0.25, 20 * std::log10(0.5)}})
    EXPECT_NEAR(CorePfmt::gainDb(c.position), c.db, 1e-9) << c.position;

  Fixture f;
  const std::string text =
      "<PROGRAM><NAME> x </NAME><MIX1> 0.5 </MIX1><UNKNOWNTAG> keep </UNKNOWNTAG>"
      "<H1><ELEMENT><VECTOR><COMMON></COMMON></VECTOR></ELEMENT></H1></PROGRAM>";
  ASSERT_TRUE(f.read(text));
  f.prog.userControl(0).setNormalized(0.75, true);  // MIX1: -1 + 2 x 0.75 = 0.5 -> stays 0.5
  f.prog.userControl(1).setNormalized(0.9, true);   // MIX2 has no preset: not written
  f.prog.userControl(8).setNormalized(0.0, true);   // GAININ at its minimum
  CorePfmt::write(f.prog, f.doc.root());
  const CoreXnod* p = f.doc.root()->findChild(CoreStrg("PROGRAM"));
  ASSERT_NE(p, nullptr);
  EXPECT_DOUBLE_EQ(p->readReal(CoreStrg("MIX1")), 0.5);
  EXPECT_FALSE(p->hasValue(CoreStrg("MIX2")));
  EXPECT_DOUBLE_EQ(p->readReal(CoreStrg("GAININ")), -192.64);
  EXPECT_NEAR(p->readReal(CoreStrg("GAINOUT")), 6.0206, 1e-4);  // untouched: at the top, 1.0
  EXPECT_STREQ(p->readText(CoreStrg("UNKNOWNTAG")).text(), "keep");
  EXPECT_NE(p->findChild(CoreStrg("H1")), nullptr);
  // Written again, the document reads back to the same values.
  Fixture g;
  ASSERT_TRUE(g.read(f.doc.serialize(false, false).str()));
  EXPECT_DOUBLE_EQ(g.prog.userControl(8).getRaw(true), 0.5 * std::pow(10.0, -192.64 / 20.0));
}
