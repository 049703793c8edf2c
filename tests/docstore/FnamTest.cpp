#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "base/CoreFnam.h"
#include "base/CoreStrg.h"
#include "support/TempDir.h"

TEST(FnamTest, ResolvesSeparatorsAndLetterCase) {
  TempDir dir;
  dir.write("Tape/h1.wav", "h1");
  dir.write("progs/Vox.xml", "vox");
  const std::string base = dir.folder();
  struct Row {
    const char* written;
    const char* resolved;
  };
  const Row rows[] = {
      {"TAPE\\H1.WAV", "Tape/h1.wav"},
      {"tape/H1.wav", "Tape/h1.wav"},
      {"Tape/h1.wav", "Tape/h1.wav"},            // exact: unchanged
      {"PROGS\\VOX.XML", "progs/Vox.xml"},
      {"TAPE\\NEW\\X.WAV", "Tape/NEW/X.WAV"},    // missing tail kept as written
      {"MISSING\\H1.WAV", "MISSING/H1.WAV"},
      {"TAPE\\", "Tape/"},
      {"TAPE\\.\\H1.WAV", "Tape/./h1.wav"},
  };
  for (const Row& r : rows)
    EXPECT_EQ(CoreFnam::resolve(base + r.written), base + r.resolved) << r.written;
  EXPECT_EQ(CoreFnam::resolve(""), "");
  EXPECT_EQ(CoreFnam::resolve("\\nonexistent-ostrel\\A"), "/nonexistent-ostrel/A");
}

TEST(FnamTest, ExactNameWinsOverOtherCases) {
  TempDir dir;
  dir.write("kick.wav", "lower");
  dir.write("KICK.WAV", "upper");
  dir.write("Kick.Wav", "mixed");
  EXPECT_EQ(CoreFnam::resolve(dir.folder() + "Kick.Wav"), dir.folder() + "Kick.Wav");
  // No exact match: the first in byte order, whatever order the folder lists them in.
  EXPECT_EQ(CoreFnam::resolve(dir.folder() + "kIcK.wav"), dir.folder() + "KICK.WAV");
}

TEST(FnamTest, OpenFileGoesThroughTheResolver) {
  TempDir dir;
  dir.write("Data/Master.xml", "m");
  FILE* f = CoreStrg(std::string_view(dir.folder() + "DATA\\MASTER.XML")).openFile("rb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(std::fgetc(f), 'm');
  std::fclose(f);
  // A new file lands in the existing folder, under the name as written.
  f = CoreStrg(std::string_view(dir.folder() + "DATA\\NEW.XML")).openFile("wb");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "Data" / "NEW.XML"));
}

TEST(FnamTest, RelativePathsResolveInTheCurrentFolder) {
  TempDir dir;
  dir.write("Sub/File.txt", "x");
  char saved[4096];
  ASSERT_NE(::getcwd(saved, sizeof saved), nullptr);
  ASSERT_EQ(::chdir(dir.path().c_str()), 0);  // only the test moves; the code never does
  EXPECT_EQ(CoreFnam::resolve("SUB\\FILE.TXT"), "Sub/File.txt");
  ASSERT_EQ(::chdir(saved), 0);
}

TEST(FnamTest, Patterns) {
  struct Row {
    const char* pattern;
    const char* name;
    bool match;
  };
  const Row rows[] = {
      {"*.KRS", "default.krs", true}, {"*.KRS", "default.krs.bak", false},
      {"*.*", "README", true},        {"*", ".hidden", true},
      {"A?C", "abc", true},           {"A?C", "ac", false},
      {"*kick*", "BIGKICK.WAV", true}, {"*.xml", "x.xm", false},
      {"h*.w*v", "H12.WAV", true},    {"", "", true},
  };
  for (const Row& r : rows)
    EXPECT_EQ(CoreFnam::matchesPattern(r.pattern, r.name), r.match) << r.pattern << " " << r.name;
}
