#include <gtest/gtest.h>

#include <string>

#include "config/CoreMstr.h"
#include "docstore/CoreXmld.h"
#include "support/TempDir.h"

namespace {

// Reads a master document given as the text of its MASTER section.
void readMaster(CoreMstr& m, const std::string& keys, int32_t rate = 44100,
                const char* codeFolder = "C:\\plug\\") {
  m.read(CoreStrg(codeFolder), CoreStrg("0"), CoreStrg(("<MASTER>" + keys + "</MASTER>").c_str()),
         rate);
}

}  // namespace

TEST(MstrTest, DefaultsWithoutAFile) {
  TempDir dir;
  CoreMstr m;
  m.read(CoreStrg(dir.folder().c_str()), CoreStrg("Ostrel3"), CoreStrg("0"), 44100);
  EXPECT_FALSE(m.masterRead());
  EXPECT_STREQ(m.masterPath().text(), (dir.folder() + "Ostrel3.xml").c_str());
  EXPECT_STREQ(m.magic.text(), "0");
  EXPECT_EQ(m.dspBuffer, 8192);
  EXPECT_EQ(m.workBuffer, 32768);
  EXPECT_EQ(m.programRate, 3000);
  EXPECT_EQ(m.aheadLength, 3000);
  EXPECT_EQ(m.guiRate, 40000);
  EXPECT_EQ(m.oTimeD, 3);
  EXPECT_EQ(m.oFreqD, 11);
  EXPECT_EQ(m.hDim, 1);
  EXPECT_EQ(m.hDimMax, 10);
  EXPECT_DOUBLE_EQ(m.bpmDefault, 120.0);
  EXPECT_TRUE(m.legacyStereoChannel);
  EXPECT_TRUE(m.scanBoot);
  EXPECT_TRUE(m.autoThread);
  EXPECT_TRUE(m.mode);
  EXPECT_FALSE(m.fastBootConfigured);
  EXPECT_FALSE(m.oTimeDConfigured);
  EXPECT_FALSE(m.dspBufferConfigured);
  EXPECT_EQ(m.delayCompensation, 0);  // FORCEOFFSET -1
  EXPECT_NEAR(m.protectionLevel, 15.848931924611133, 1e-12);
  EXPECT_EQ(m.midiMix[0].status, 176);
  EXPECT_EQ(m.midiMix[7].controller, 127);
  EXPECT_EQ(m.midiMix[0].range, 16);
  // The fallback name when no module name is known.
  CoreMstr n;
  n.read(CoreStrg(dir.folder().c_str()), CoreStrg("0"), CoreStrg("0"), 44100);
  EXPECT_STREQ(n.masterPath().fileName(false).text(), "OSTREL2.XML");
}

TEST(MstrTest, KeyTreatments) {
  struct Case {
    const char* keys;
    int32_t dsp, dspWritten, work, delay;
  };
  const Case cases[] = {
      {"<DSPBUFFER> 1000 </DSPBUFFER>", 1024, 1000, 32768, 0},
      {"<DSPBUFFER> 5 </DSPBUFFER>", 16, 5, 32768, 0},
      {"<WORKBUFFER> 0 </WORKBUFFER>", 8192, 8192, 1, 0},
      {"<WORKBUFFER> 32000 </WORKBUFFER>", 8192, 8192, 32768, 0},
      {"<WORKBUFFER> lots </WORKBUFFER>", 8192, 8192, 1, 0},  // not a number: 0
      {"<FORCEOFFSET> 1000 </FORCEOFFSET><AHEADLENGTH> 3000 </AHEADLENGTH>", 8192, 8192, 32768, 8384},
      {"<FORCEOFFSET> 1000 </FORCEOFFSET><THREADS> 1 </THREADS>", 8192, 8192, 32768, 48 + 144 + 16384},
      {"<FORCEOFFSET> -1 </FORCEOFFSET><AHEADLENGTH> 3000 </AHEADLENGTH>", 8192, 8192, 32768, 0},
  };
  for (const Case& c : cases) {
    CoreMstr m;
    readMaster(m, c.keys, 48000);
    EXPECT_EQ(m.dspBuffer, c.dsp) << c.keys;
    EXPECT_EQ(m.dspBufferWritten, c.dspWritten) << c.keys;
    EXPECT_EQ(m.workBuffer, c.work) << c.keys;
    EXPECT_EQ(m.workMask, c.work - 1) << c.keys;
    EXPECT_EQ(m.delayCompensation, c.delay) << c.keys;
  }

  CoreMstr m;
  readMaster(m,
             "<DATAPATH> data/ </DATAPATH><MAGIC>  AbCdEf </MAGIC><PROGRAMSUBPATH> PROG\\A\\ "
             "</PROGRAMSUBPATH><BPMDEFAULT> 90000 </BPMDEFAULT><PROTECTIONDB> 0 </PROTECTIONDB>"
             "<MODE> 65536 </MODE><FIXEDQUALITY> 1 </FIXEDQUALITY><HDIM> 2.9 </HDIM>"
             "<ALTERNATIVEDATAPATH> /x/ </ALTERNATIVEDATAPATH><ALTERNATIVEDATAPATH> y\\z "
             "</ALTERNATIVEDATAPATH><REFRESHOVERFLOW> 86400000000 </REFRESHOVERFLOW>");
  EXPECT_STREQ(m.dataPath.text(), "C:\\plug\\/data/");
  EXPECT_STREQ(m.debugFolder.text(), "C:\\plug\\/data/DEBUG/");
  EXPECT_STREQ(m.magic.text(), "AbCd");
  EXPECT_STREQ(m.programSubPath.text(), "PROG/A/");
  EXPECT_DOUBLE_EQ(m.bpmDefault, 90.0);
  EXPECT_DOUBLE_EQ(m.protectionLevel, 1.0);
  EXPECT_FALSE(m.mode);  // only the low 16 bits count
  EXPECT_EQ(m.fixedQuality, 4);
  EXPECT_EQ(m.hDim, 2);  // truncated
  ASSERT_EQ(m.alternativeDataPaths.size(), 2u);
  EXPECT_STREQ(m.alternativeDataPaths[1].text(), "y/z/");
  EXPECT_EQ(m.refreshOverflow, 2147483647);  // held to the 32-bit range
}

TEST(MstrTest, MidiMixKeys) {
  CoreMstr m;
  readMaster(m,
             "<MIDISTSMIX1> 177 </MIDISTSMIX1><MIDICTRMIX1> 20 </MIDICTRMIX1>"
             "<MIDISTSMIX2> 178 </MIDISTSMIX2>"  // no controller key: the status is not applied
             "<MIDICTRMIX3> -1 </MIDICTRMIX3><MIDICTRMIX4> 200 </MIDICTRMIX4>");
  EXPECT_EQ(m.midiMix[0].status, 177);
  EXPECT_EQ(m.midiMix[0].controller, 20);
  EXPECT_EQ(m.midiMix[1].status, 176);
  EXPECT_TRUE(m.midiMix[2].disabled);
  EXPECT_EQ(m.midiMix[2].controller, 127);
  EXPECT_FALSE(m.midiMix[3].disabled);
  EXPECT_EQ(m.midiMix[3].controller, 127);
}

TEST(MstrTest, InstallerMergeAndSave) {
  TempDir dir;
  dir.write("Ostrel3.xml",
            "<MASTER><DSPBUFFER> 1000 </DSPBUFFER><BPMDEFAULT> 90000 </BPMDEFAULT>"
            "<OTIMED> 2 </OTIMED><KEEPME> 7 </KEEPME></MASTER>");
  dir.write("Ostrel3_installer.xml", "<MASTER><OTIMED> 5 </OTIMED><GUIRATE> 20000 </GUIRATE></MASTER>");
  CoreMstr m;
  m.read(CoreStrg(dir.folder().c_str()), CoreStrg("Ostrel3"), CoreStrg("0"), 44100);
  EXPECT_TRUE(m.masterRead());
  EXPECT_TRUE(m.installerPresent());
  EXPECT_EQ(m.oTimeD, 5);
  EXPECT_EQ(m.guiRate, 20000);
  EXPECT_EQ(m.dspBuffer, 1024);

  m.meterType = 4;
  ASSERT_TRUE(m.save(44100));
  CoreXmld saved;
  CoreXnod* root = saved.loadFile(CoreStrg((dir.folder() + "Ostrel3.xml").c_str()), false);
  ASSERT_NE(root, nullptr);
  const CoreXnod* master = root->findChild(CoreStrg("MASTER"));
  ASSERT_NE(master, nullptr);
  EXPECT_EQ(master->readInteger(CoreStrg("DSPBUFFER")), 1000);  // saved as written
  EXPECT_DOUBLE_EQ(master->readReal(CoreStrg("BPMDEFAULT")), 90000.0);
  EXPECT_EQ(master->readInteger(CoreStrg("METERTYPE")), 4);
  EXPECT_EQ(master->readInteger(CoreStrg("KEEPME")), 7);  // keys not saved stay as loaded
  // The look-ahead survives a save and a read unchanged (132 samples at 44.1 kHz).
  EXPECT_DOUBLE_EQ(master->readReal(CoreStrg("AHEADLENGTH")), 3000.0);
  // Saved keys follow in their fixed order, after the ones that were only loaded.
  std::string order;
  for (int32_t i = 0; i < master->childCount(); ++i) order += master->child(i)->name().str() + " ";
  EXPECT_NE(order.find("KEEPME METERTYPE OTIMED OFREQD PROGRAMRATE"), std::string::npos) << order;
  EXPECT_NE(order.find("MODE DSPBUFFER MIDISTSMIX1 MIDICTRMIX1"), std::string::npos) << order;

  // Read again: the saved values come back.
  CoreMstr again;
  again.read(CoreStrg(dir.folder().c_str()), CoreStrg("Ostrel3"), CoreStrg("0"), 44100);
  EXPECT_EQ(again.meterType, 4);
  EXPECT_DOUBLE_EQ(again.bpmDefault, 90.0);
  EXPECT_EQ(again.lookAheadSamples, m.lookAheadSamples);
  // A look-ahead changed in samples is written so that it reads back to the same count.
  again.lookAheadSamples = 100;
  ASSERT_TRUE(again.save(44100));
  CoreMstr third;
  third.read(CoreStrg(dir.folder().c_str()), CoreStrg("Ostrel3"), CoreStrg("0"), 44100);
  EXPECT_EQ(third.lookAheadSamples, 100);
}

TEST(MstrTest, BrokenFilesGiveDefaults) {
  TempDir dir;
  dir.write("Ostrel3.xml", "</MASTER><DSPBUFFER> 1000");
  dir.write("Ostrel3_installer.xml", "</broken>");
  CoreMstr m;
  m.read(CoreStrg(dir.folder().c_str()), CoreStrg("Ostrel3"), CoreStrg("0"), 44100);
  EXPECT_FALSE(m.masterRead());
  EXPECT_FALSE(m.installerPresent());
  EXPECT_EQ(m.dspBuffer, 8192);
}
