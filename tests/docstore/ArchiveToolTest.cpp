// The archive tool end to end: pack a small folder, list it, extract it, compare byte for byte.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/TempDir.h"

#ifdef OSTREL_ARCHIVE_TOOL

namespace {

struct ToolRun {
  int status;
  std::string out;
};

ToolRun run(const TempDir& dir, const std::string& arguments) {
  const std::string log = dir.folder() + "tool.log";
  const std::string command = std::string("'") + OSTREL_ARCHIVE_TOOL + "' " + arguments + " > '" +
                              log + "' 2>&1";
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, dir.read("tool.log")};
}

std::string q(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

}  // namespace

TEST(ArchiveToolTest, PackListExtractRoundTrip) {
  TempDir dir;
  std::string binary;
  for (int i = 0; i < 3000; ++i) binary += static_cast<char>((i * 37) & 0xFF);
  const struct {
    const char* file;
    const char* item;
    std::string bytes;
  } files[] = {
      {"src/prog.xml", "PROG.XML", "<PROGRAM><NAME>x</NAME></PROGRAM>"},
      {"src/tape/h1.wav", "TAPE\\H1.WAV", binary},
      {"src/tape/Deep/H2.wav", "TAPE\\DEEP\\H2.WAV", std::string("a\0b\r\n", 5)},
      {"src/empty.bin", "EMPTY.BIN", ""},
  };
  for (const auto& f : files) dir.write(f.file, f.bytes);
  const auto archive = dir.path() / "set.krv";

  ToolRun r = run(dir, "pack -C " + q(dir.path() / "src") + " " + q(archive) + " .");
  ASSERT_EQ(r.status, 0) << r.out;
  ASSERT_TRUE(std::filesystem::exists(dir.path() / "SET.KRV")) << r.out;

  r = run(dir, "list " + q(archive));
  ASSERT_EQ(r.status, 0) << r.out;
  for (const auto& f : files) EXPECT_NE(r.out.find(f.item), std::string::npos) << f.item;
  EXPECT_NE(r.out.find("index and data agree"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("3038 bytes of item data"), std::string::npos) << r.out;

  r = run(dir, "extract " + q(archive) + " " + q(dir.path() / "out"));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(dir.read("out/PROG.XML"), files[0].bytes);  // byte for byte, not rewritten
  EXPECT_EQ(dir.read("out/TAPE/H1.WAV"), binary);
  EXPECT_EQ(dir.read("out/TAPE/DEEP/H2.WAV"), files[2].bytes);
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "out" / "EMPTY.BIN"));
  EXPECT_EQ(std::filesystem::file_size(dir.path() / "out" / "EMPTY.BIN"), 0u);
}

TEST(ArchiveToolTest, BadArchivesAndBadArguments) {
  TempDir dir;
  dir.write("BAD.KRV", "this is not an archive at all, not even close to one......");
  ToolRun r = run(dir, "list " + q(dir.path() / "BAD.KRV"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("bad signature"), std::string::npos) << r.out;
  r = run(dir, "extract " + q(dir.path() / "BAD.KRV") + " " + q(dir.path() / "out"));
  EXPECT_EQ(r.status, 1);
  dir.write("SHORT.KRV", "Ostrel2 ");
  r = run(dir, "list " + q(dir.path() / "SHORT.KRV"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("header too short"), std::string::npos) << r.out;

  // The index and the data disagree: the sizes do not add up to D.
  std::string header("Ostrel2 1.3.507", 15);
  header.resize(40, '\0');
  header += std::string("\x06\0\0\0", 4);
  dir.write("GAP.KRV", header + "abcdef" +
                           "<TOC><ITEM><ENTRY> A </ENTRY><ADDRESS> 0 </ADDRESS><DIM> 2 </DIM></ITEM>"
                           "<ITEM><ENTRY> B </ENTRY><ADDRESS> 3 </ADDRESS><DIM> 2 </DIM></ITEM></TOC>");
  r = run(dir, "list " + q(dir.path() / "GAP.KRV"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("starts at 3"), std::string::npos) << r.out;

  EXPECT_EQ(run(dir, "list").status, 2);
  EXPECT_EQ(run(dir, "frobnicate x").status, 2);
  EXPECT_EQ(run(dir, "--help").status, 0);
  dir.write("src/a.txt", "a");
  dir.write("src/A.TXT", "b");
  r = run(dir, "pack -C " + q(dir.path() / "src") + " " + q(dir.path() / "x.krv") + " .");
  EXPECT_EQ(r.status, 1);  // two files would be one item
  r = run(dir, "pack -C " + q(dir.path() / "src") + " " + q(dir.path() / "x.krv") + " ../BAD.KRV");
  EXPECT_EQ(r.status, 1);
}

#endif
