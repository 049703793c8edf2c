#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "base/CoreStrg.h"

TEST(StrgTest, ConstructionAndCapacity) {
  const CoreStrg fromNull(static_cast<const char*>(nullptr));
  EXPECT_STREQ(fromNull.text(), "");
  EXPECT_EQ(fromNull.size(), 1);
  EXPECT_EQ(fromNull.capacity(), 8);
  EXPECT_EQ(fromNull.tag(), CoreStrg::kTag);

  // Size 8 (7 characters) fits capacity 8 exactly at first; growing to size 9 takes 16.
  CoreStrg s("1234567");
  EXPECT_EQ(s.size(), 8);
  EXPECT_EQ(s.capacity(), 16);  // the next multiple of eight strictly above the size
  CoreStrg t("1234");
  EXPECT_EQ(t.capacity(), 8);
  t.append("567");
  EXPECT_EQ(t.size(), 8);
  EXPECT_EQ(t.capacity(), 8);  // size 8 still fits
  t.append("8");
  EXPECT_EQ(t.size(), 9);
  EXPECT_EQ(t.capacity(), 16);

  CoreStrg big(std::string(60, 'x').c_str());
  EXPECT_EQ(big.capacity(), 64);
  big = CoreStrg("ab");
  EXPECT_EQ(big.capacity(), 64);  // assigning a shorter text never shrinks the buffer
  EXPECT_STREQ(big.text(), "ab");

  EXPECT_STREQ(CoreStrg('Q').text(), "Q");
  EXPECT_STREQ(CoreStrg('\0').text(), "");
  EXPECT_STREQ(CoreStrg(1.5).text(), "1.5");
  EXPECT_STREQ(CoreStrg(0.0).text(), "0");
  EXPECT_STREQ(CoreStrg(1e20).text(), "1E+20");
  EXPECT_STREQ(CoreStrg::fromRealZero(-0.0).text(), "0");
  EXPECT_STREQ(CoreStrg::fromRealZero(0.25).text(), "0.25");
  EXPECT_STREQ(CoreStrg(int32_t{-42}).text(), "-42");
  EXPECT_STREQ(CoreStrg::fromULong(4000000000ul).text(), "4000000000");
  EXPECT_STREQ(CoreStrg::fixed(3.14159, 2).text(), "3.14");
}

TEST(StrgTest, RealsUseDotWhateverTheLocale) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous ? previous : "C";
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
    GTEST_SKIP() << "no locale with a decimal comma installed";
  EXPECT_STREQ(CoreStrg(1.5).text(), "1.5");
  EXPECT_STREQ(CoreStrg::fixed(2.25, 2).text(), "2.25");
  EXPECT_DOUBLE_EQ(parseCLocale("2.5", nullptr), 2.5);
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(StrgTest, AssignmentNeedsTheTag) {
  CoreStrg target("keep");
  CoreStrg source("new");
  target = source;
  EXPECT_STREQ(target.text(), "new");
  target = target;  // self-assignment keeps the value
  EXPECT_STREQ(target.text(), "new");
}

TEST(StrgTest, CuttingAndPadding) {
  struct Case {
    const char* what;
    CoreStrg result;
    const char* expected;
  };
  const CoreStrg abcde("ABCDE");
  const Case cases[] = {
      {"substring at 0", abcde.substring(0, 2), "AB"},
      {"substring at 4 for 9", abcde.substring(4, 9), "DE"},
      {"substring past end", abcde.substring(6, 2), ""},
      {"mid past end", abcde.mid(6, 2), " "},
      {"mid inside", abcde.mid(2, 3), "BCD"},
      {"pad left", CoreStrg("7").padLeft(3, '0'), "007"},
      {"pad left cuts", CoreStrg("12345").padLeft(3, '0'), "123"},
      {"pad right", CoreStrg("AB").padRight(4, '.'), "AB.."},
      {"trim", CoreStrg(" \t a b \r\n").trim(), "a b"},
      {"trim all space", CoreStrg("   ").trim(), ""},
      {"upper", CoreStrg("mix1.Krp").upper(), "MIX1.KRP"},
      {"lower", CoreStrg("MIX1.Krp").lower(), "mix1.krp"},
      {"replace char", CoreStrg("a\\b\\c").replaceChar('\\', '/'), "a/b/c"},
      {"replace text", CoreStrg("a--b--c").replaceText(CoreStrg("--"), CoreStrg("+")), "a+b+c"},
      {"replace text growing", CoreStrg("x.y").replaceText(CoreStrg("."), CoreStrg("::")), "x::y"},
      {"concatenate", CoreStrg("ab") + CoreStrg("cd"), "abcd"},
  };
  for (const Case& c : cases) EXPECT_STREQ(c.result.text(), c.expected) << c.what;

  const CoreStrg past = abcde.substring(6, 2);
  EXPECT_EQ(past.size(), 0);
  EXPECT_EQ(past.capacity(), 0);
}

TEST(StrgTest, WideAndFourCharacterTexts) {
  const char wide[] = {'\xFF', '\xFE', 'A', '\0', 'B', '\0'};
  EXPECT_STREQ(CoreStrg::narrowWide(wide, 6).text(), "AB");
  EXPECT_STREQ(CoreStrg::narrowWide("plain", 5).text(), "plain");
  const char riff[] = {'f', 'm', 't', ' '};
  EXPECT_STREQ(CoreStrg::fourCharCode(riff).text(), "fmt ");
  const char withNul[] = {'d', '\0', 'a', 't'};
  EXPECT_STREQ(CoreStrg::fourCharCode(withNul).text(), "dat");
}

TEST(StrgTest, Paths) {
  struct Case {
    const char* path;
    const char* extension;
    const char* folder;
    const char* name;
  };
  const Case cases[] = {
      {"C:\\lib.d\\PROG", ".D\\PROG", "C:\\", "lib"},  // the last dot wins, even before a separator
      {"C:\\dir\\a.krp", ".KRP", "C:\\dir\\", "a"},
      {"/home/u/vox.xml", ".XML", "/home/u/", "vox"},
      {"noext", "", "", "noext"},
  };
  for (const Case& c : cases) {
    const CoreStrg p(c.path);
    EXPECT_STREQ(p.extension().text(), c.extension) << c.path;
    EXPECT_STREQ(p.folder().text(), c.folder) << c.path;
    EXPECT_STREQ(p.fileName(true).text(), c.name) << c.path;
  }
  EXPECT_STREQ(CoreStrg("C:\\dir\\a.KRP").fileName(false).text(), "a.KRP");
  EXPECT_STREQ(CoreStrg("C:\\dir\\a.KRP").changeExtension(CoreStrg(".XML")).text(), "C:\\dir\\a.xml");
  EXPECT_STREQ(CoreStrg("C:\\dir\\a.KRP").changeExtension(CoreStrg("")).text(), "C:\\dir\\a");
  EXPECT_STREQ(CoreStrg("C:\\dir\\a.KRP").addSuffix(CoreStrg("_x")).text(), "C:\\dir\\a_x.KRP");
  EXPECT_STREQ(CoreStrg("TAPE\\H1.WAV").forwardSlashes().text(), "TAPE/H1.WAV");

  EXPECT_STREQ(CoreStrg("C:\\x\\take.WAV").nextNumberedName().text(), "C:\\x\\take_01.wav");
  EXPECT_STREQ(CoreStrg("C:\\x\\take_41.WAV").nextNumberedName().text(), "C:\\x\\take_42.wav");
  EXPECT_STREQ(CoreStrg("take_99.WAV").nextNumberedName().text(), "take_00.wav");
}

TEST(StrgTest, Lists) {
  const CoreStrg names[] = {CoreStrg(" alpha"), CoreStrg("Beta "), CoreStrg("gamma")};
  EXPECT_EQ(CoreStrg::indexInList(CoreStrg("BETA"), 3, names, false, true), 1);
  EXPECT_EQ(CoreStrg::indexInList(CoreStrg("delta"), 3, names, false, true), -1);
  EXPECT_EQ(CoreStrg::indexInList(CoreStrg("delta"), 3, names, false, false), 0);

  const CoreStrg numbers[] = {CoreStrg("1.0"), CoreStrg("2.0"), CoreStrg("3.0")};
  EXPECT_EQ(CoreStrg::indexInList(CoreStrg("2.4"), 3, numbers, true, true), 1);
  EXPECT_EQ(CoreStrg::indexInList(CoreStrg("2.5"), 3, numbers, true, true), 1);  // first on ties

  CoreStrg list[] = {CoreStrg("pear"), CoreStrg(" Apple"), CoreStrg("fig"), CoreStrg("BANANA")};
  CoreStrg::sortList(list, 4);
  EXPECT_STREQ(list[0].text(), " Apple");
  EXPECT_STREQ(list[1].text(), "BANANA");
  EXPECT_STREQ(list[2].text(), "fig");
  EXPECT_STREQ(list[3].text(), "pear");
}
