#include <gtest/gtest.h>

#include <string>

#include "base/CorePool.h"
#include "docstore/CoreFsys.h"
#include "runtime/CorePrcs.h"
#include "support/TempDir.h"

namespace {

struct Engine {
  CorePool pool;
  CoreFsys fsys{&pool};
  std::unique_ptr<CorePrcs> prcs;
  Engine(const std::string& folder, const std::string& master, int32_t rate = 48000) {
    prcs = std::make_unique<CorePrcs>(&pool, CoreStrg(folder.c_str()), rate, nullptr,
                                      CoreStrg("Ostrel3"), &fsys, CoreStrg(master.c_str()));
  }
};

}  // namespace

TEST(SettingsTest, MasterValuesThroughTheNumbers) {
  TempDir dir;
  Engine e(dir.folder(),
           "<MASTER><DATAPATH> data/ </DATAPATH><DSPBUFFER> 1000 </DSPBUFFER><FORCEOFFSET> 1000 "
           "</FORCEOFFSET><MAGIC> AbCd </MAGIC><SETUPSUBPATH> SETUP/ </SETUPSUBPATH>"
           "<LTIMED> 5000 </LTIMED><HDIMMAX> 4 </HDIMMAX></MASTER>");
  CorePrcs& p = *e.prcs;
  ASSERT_FALSE(p.failed());
  EXPECT_EQ(p.get32(CorePrcs::kProcessingBlock), 1024);
  EXPECT_EQ(p.get32(CorePrcs::kDspBufferWritten), 1000);
  EXPECT_EQ(p.get32(CorePrcs::kDelayCompensation), 48 + 144 + 1024);
  EXPECT_EQ(p.get32(CorePrcs::kLengthLimits, 0), 5000);
  EXPECT_EQ(p.get32(CorePrcs::kLengthLimits, 1), 1000000);
  EXPECT_EQ(p.get16(CorePrcs::kHDimMax), 4);
  EXPECT_EQ(p.get16(CorePrcs::kOFreqD), 11);
  EXPECT_STREQ(p.getText(CorePrcs::kMagic).text(), "AbCd");
  EXPECT_STREQ(p.getText(CorePrcs::kVersion).text(), "1.3.507");
  EXPECT_STREQ(p.getText(CorePrcs::kSetupFolder).text(), (dir.folder() + "/data/SETUP/").c_str());
  EXPECT_STREQ(p.getText(CorePrcs::kCapability).text(), "N/A");
  EXPECT_TRUE(p.getFlag(CorePrcs::kBootPending));
  EXPECT_TRUE(p.getFlag(CorePrcs::kLegacyStereo));
  EXPECT_EQ(p.get32(9999), 0);  // unknown numbers answer 0
  EXPECT_STREQ(p.getText(9999).text(), "");

  // The flags the boot owns do not change while it is pending.
  p.setFlag(CorePrcs::kScanBoot, false);
  EXPECT_TRUE(p.getFlag(CorePrcs::kScanBoot));
  p.setBootPending(false);
  p.setFlag(CorePrcs::kScanBoot, false);
  EXPECT_FALSE(p.getFlag(CorePrcs::kScanBoot));

  p.set32(CorePrcs::kProgramRate, 2000);
  EXPECT_TRUE(p.getFlag(CorePrcs::kMasterChanged));
  EXPECT_EQ(p.get32(CorePrcs::kProgramRate), 2000);
  p.set16(CorePrcs::kOTimeD, 0);  // 0 or less keeps the current variant
  EXPECT_EQ(p.get16(CorePrcs::kOTimeD), 3);
  p.setText(CorePrcs::kSkinPath, CoreStrg("/skins/BLUE.KRS"));
  EXPECT_STREQ(p.master().skinName.text(), "BLUE.KRS");
}

TEST(SettingsTest, DataPathArchiveIsLoaded) {
  TempDir dir;
  {
    CorePool pool;
    CoreFsys packer(&pool);
    const int32_t id = packer.registerItem(CoreStrg("VOX.XML"), false);
    const std::string text = "<PROGRAM><NAME> v </NAME></PROGRAM>";
    packer.setData(id, text.data(), static_cast<int32_t>(text.size()), CoreStrg(""));
    ASSERT_TRUE(packer.saveArchive(CoreStrg((dir.folder() + "DATA.KRP").c_str())));
  }
  Engine e(dir.folder(), "<MASTER><DATAPATH> DATA.KRP </DATAPATH></MASTER>");
  EXPECT_FALSE(e.prcs->failed());
  EXPECT_GE(e.fsys.findItem(CoreStrg("VOX.XML")), 0);
  // A data path that is a folder loads nothing and fails nothing.
  Engine f(dir.folder(), "<MASTER><DATAPATH> sub/ </DATAPATH></MASTER>");
  EXPECT_FALSE(f.prcs->failed());
  EXPECT_EQ(f.fsys.itemCount(), 0);
}
