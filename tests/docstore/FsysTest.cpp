#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/CoreLogr.h"
#include "base/CorePool.h"
#include "docstore/CoreFsys.h"
#include "docstore/CoreXmld.h"
#include "docstore/CoreXnod.h"
#include "support/TempDir.h"

namespace {

CoreStrg S(const std::string& t) { return CoreStrg(std::string_view(t)); }

// Points the process log at a temporary folder for one test and puts it back afterwards.
class LogScope {
 public:
  LogScope() : saved_(CoreLogr::level()), savedFolder_(CoreLogr::folder()) {
    CoreLogr::setFolder(CoreStrg(dir_.folder().c_str()));
    CoreLogr::setLevel(3);
  }
  ~LogScope() {
    CoreLogr::setLevel(saved_);
    CoreLogr::setFolder(savedFolder_);
  }
  std::string text() const { return dir_.read("Ostrel3.log"); }

 private:
  TempDir dir_;
  int16_t saved_;
  CoreStrg savedFolder_;
};

std::string le32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}

std::string header(uint32_t d) {
  std::string h("Ostrel2 1.3.507", 15);
  h.resize(40, '\0');
  return h + le32(d);
}

std::string item(const std::string& entry, const std::string& address, const std::string& dim) {
  return "<ITEM><ENTRY> " + entry + " </ENTRY><ADDRESS> " + address + " </ADDRESS><DIM> " + dim +
         " </DIM><VERSION> 1.3.507 </VERSION><TARGET> BT </TARGET></ITEM>";
}

// An archive file made by hand: header with D, data, then the index text.
std::string archive(const std::string& data, const std::string& items, int64_t d = -1) {
  return header(static_cast<uint32_t>(d < 0 ? static_cast<int64_t>(data.size()) : d)) + data +
         "<TOC>" + items + "</TOC>";
}

std::string bytesOf(const CoreFsys& fs, int32_t id) {
  const uint8_t* p = fs.dataOf(id);
  return p ? std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(fs.sizeOf(id)))
           : std::string();
}

struct Fixture {
  CorePool pool;
  CoreFsys fs{&pool};
  TempDir dir;
  CoreStrg path(const std::string& name) const { return S(dir.folder() + name); }
};

}  // namespace

TEST(FsysTest, RegisterTrimsUpperCasesAndReuses) {
  CorePool pool;
  CoreFsys fs(&pool);
  const int32_t a = fs.registerItem(S("a.xml"), true);
  EXPECT_EQ(fs.registerItem(S("A.XML "), true), a);
  int32_t id = -5;
  EXPECT_EQ(fs.nameOf(0, &id), "A.XML");
  EXPECT_EQ(id, a);
  EXPECT_EQ(fs.nameOf(3, &id), "");
  EXPECT_EQ(id, -1);

  const int32_t lead = fs.registerItem(S("LEAD VOX.WAV"), true);
  EXPECT_EQ(fs.registerItem(S("VOX.WAV"), true), lead);       // contained in a longer name
  EXPECT_EQ(fs.registerItem(S("TAPE\\LEAD VOX.WAV"), true), lead);  // holds an existing name
  const int32_t fresh = fs.registerItem(S("VOX.WAV"), false);
  EXPECT_NE(fresh, lead);
  EXPECT_EQ(fs.itemCount(), 3);
  EXPECT_EQ(fs.findItem(S("nothing")), -1);
}

TEST(FsysTest, ExactNameWinsOverContainmentInBothOrders) {
  for (bool bigFirst : {true, false}) {
    SCOPED_TRACE(bigFirst ? "BIGKICK first" : "KICK first");
    CorePool pool;
    CoreFsys fs(&pool);
    int32_t big, kick;
    if (bigFirst) {
      big = fs.registerItem(S("BIGKICK.WAV"), true);
      kick = fs.registerItem(S("KICK.WAV"), false);
    } else {
      kick = fs.registerItem(S("KICK.WAV"), true);
      big = fs.registerItem(S("BIGKICK.WAV"), false);
    }
    EXPECT_EQ(fs.registerItem(S("kick.wav"), true), kick);
    EXPECT_EQ(fs.registerItem(S("BIGKICK.WAV"), true), big);
    EXPECT_EQ(fs.registerExact(S("KICK.WAV")), kick);
    EXPECT_EQ(fs.itemCount(), 2);
  }
}

TEST(FsysTest, ArchiveEntriesNeverFoldIntoEachOther) {
  for (bool bigFirst : {true, false}) {
    SCOPED_TRACE(bigFirst ? "BIGKICK first" : "KICK first");
    Fixture f;
    const std::string items = bigFirst ? item("BIGKICK.WAV", "0", "3") + item("KICK.WAV", "3", "2")
                                       : item("KICK.WAV", "0", "3") + item("BIGKICK.WAV", "3", "2");
    f.dir.write("K.KRV", archive("aaabb", items));
    ASSERT_TRUE(f.fs.loadArchive(f.path("K.KRV"), S("0"), false));
    ASSERT_EQ(f.fs.itemCount(), 2);
    const int32_t kick = f.fs.registerItem(S("KICK.WAV"), true);
    const int32_t big = f.fs.registerItem(S("BIGKICK.WAV"), true);
    EXPECT_NE(kick, big);
    EXPECT_EQ(bytesOf(f.fs, kick), bigFirst ? "bb" : "aaa");
    EXPECT_EQ(bytesOf(f.fs, big), bigFirst ? "aaa" : "bb");
    EXPECT_EQ(f.fs.sourceOf(kick), f.path("K.KRV"));
  }
}

TEST(FsysTest, SavedArchiveLayout) {
  Fixture f;
  const int32_t a = f.fs.registerItem(S("A.WAV"));
  const int32_t b = f.fs.registerItem(S("B.XML"));
  const int32_t c = f.fs.registerItem(S("TAPE\\C.WAV"));
  f.fs.registerItem(S("UNCACHED.WAV"));
  ASSERT_TRUE(f.fs.setData(a, "0123456789", 10, S("")));
  ASSERT_TRUE(f.fs.setData(b, "", 0, S("")));
  ASSERT_TRUE(f.fs.setData(c, "abcde", 5, S("")));
  ASSERT_TRUE(f.fs.saveArchive(f.path("out.krv")));
  const std::string file = f.dir.read("OUT.KRV");  // the file name is upper-cased
  ASSERT_GE(file.size(), 59u);
  EXPECT_EQ(file.substr(0, 16), std::string("Ostrel2 1.3.507\0", 16));
  EXPECT_EQ(file.substr(16, 24), std::string(24, '\0'));
  EXPECT_EQ(file.substr(40, 4), le32(15));
  EXPECT_EQ(file.substr(44, 15), "0123456789abcde");
  EXPECT_EQ(file.substr(59), "<TOC>" + item("A.WAV", "0", "10") + item("B.XML", "10", "0") +
                                 item("TAPE\\C.WAV", "10", "5") + "</TOC>");

  CoreFsys back(&f.pool);
  ASSERT_TRUE(back.loadArchive(f.path("OUT.KRV"), S("0"), false));
  EXPECT_EQ(back.itemCount(), 3);
  EXPECT_EQ(bytesOf(back, back.registerItem(S("TAPE\\C.WAV"))), "abcde");
  EXPECT_EQ(back.sizeOf(back.registerItem(S("B.XML"))), 0);
  EXPECT_TRUE(back.isCached(back.registerItem(S("B.XML"))));
  EXPECT_NE(back.indexText().str().find("  <ITEM>"), std::string::npos);  // kept indented
  EXPECT_EQ(back.archivePath(), f.path("OUT.KRV"));

  // Folders of the path are kept as written; only the file name is upper-cased.
  std::filesystem::create_directories(f.dir.path() / "lower");
  ASSERT_TRUE(f.fs.saveArchive(f.path("lower/mixed.Krp")));
  EXPECT_TRUE(std::filesystem::exists(f.dir.path() / "lower" / "MIXED.KRP"));
  EXPECT_EQ(CoreFsys::archiveFileName(S("C:\\data\\x.krv")), "C:/data/X.KRV");
}

TEST(FsysTest, FilterSkipCachedAndSourceManager) {
  Fixture f;
  f.dir.write("P.KRP", archive("<A>1</A>wavewav2",
                               item("PROG.XML", "0", "8") + item("H1.WAV", "8", "4") +
                                   item("TAPE\\H2.WAV", "12", "4")));
  ASSERT_TRUE(f.fs.loadArchive(f.path("P.KRP"), S(" .wav"), false));
  EXPECT_EQ(f.fs.itemCount(), 2);
  EXPECT_EQ(f.fs.findItem(S("PROG.XML")), -1);
  EXPECT_EQ(bytesOf(f.fs, f.fs.registerItem(S("H1.WAV"))), "wave");

  // Filter contained in an entry name, and an entry contained in the filter.
  CoreFsys g(&f.pool);
  ASSERT_TRUE(g.loadArchive(f.path("P.KRP"), S("TAPE\\H2.WAV and more"), false));
  EXPECT_EQ(g.itemCount(), 1);

  // Skip-cached keeps bytes already there.
  const int32_t h1 = f.fs.registerItem(S("H1.WAV"));
  f.fs.setData(h1, "mine", 4, S(""));
  ASSERT_TRUE(f.fs.loadArchive(f.path("P.KRP"), S("0"), true));
  EXPECT_EQ(bytesOf(f.fs, h1), "mine");
  EXPECT_EQ(f.fs.itemCount(), 3);

  // An archive read from another manager's cached bytes, the file gone.
  CoreFsys source(&f.pool);
  const std::string bytes = f.dir.read("P.KRP");
  source.setData(source.registerItem(S("MEM.KRP")), bytes.data(), static_cast<int32_t>(bytes.size()), S(""));
  CoreFsys m(&f.pool);
  ASSERT_TRUE(m.loadArchive(S("MEM.KRP"), S("PROG"), false, &source));
  EXPECT_EQ(m.textOf(m.registerItem(S("PROG.XML"))), "<A>1</A>");
}

TEST(FsysTest, BadSignatureLoadsNothing) {
  LogScope log;
  Fixture f;
  std::string bytes = archive("abc", item("A.WAV", "0", "3"));
  bytes[0] = 'X';
  f.dir.write("BAD.KRP", bytes);
  EXPECT_FALSE(f.fs.loadArchive(f.path("BAD.KRP"), S("0"), false));
  EXPECT_EQ(f.fs.itemCount(), 0);
  EXPECT_NE(f.fs.lastError().str().find("bad signature"), std::string::npos);
  EXPECT_NE(log.text().find("***ERROR***> archive"), std::string::npos);
  EXPECT_FALSE(f.fs.loadArchive(f.path("NONE.KRP"), S("0"), false));
}

TEST(FsysTest, MalformedArchivesFailCleanly) {
  const std::string good = archive("aaabb", item("A.WAV", "0", "3") + item("B.WAV", "3", "2"));
  struct Row {
    const char* what;
    std::string bytes;
    int loaded;  // entries that are still loaded
  };
  const Row rows[] = {
      {"empty file", "", 0},
      {"header shorter than 44 bytes", header(0).substr(0, 43), 0},
      {"D larger than the file", archive("aaabb", item("A.WAV", "0", "3"), 0x7FFFFFF0), 0},
      {"D past the start of the index", archive("aaabb", item("A.WAV", "0", "3"), 5 + 10), 0},
      {"truncated in the data", good.substr(0, 46), 0},
      {"truncated in the index", good.substr(0, good.size() - 71), 1},
      {"address beyond the data", archive("aaabb", item("A.WAV", "9", "1") + item("B.WAV", "3", "2")), 1},
      {"size beyond the data", archive("aaabb", item("A.WAV", "0", "6") + item("B.WAV", "3", "2")), 1},
      {"negative size", archive("aaabb", item("A.WAV", "0", "-3") + item("B.WAV", "3", "2")), 1},
      {"negative address", archive("aaabb", item("A.WAV", "-1", "3") + item("B.WAV", "3", "2")), 1},
      {"huge size", archive("aaabb", item("A.WAV", "0", "2147483647")), 0},
      {"missing DIM", archive("aaabb", "<ITEM><ENTRY> A.WAV </ENTRY><ADDRESS> 0 </ADDRESS></ITEM>"), 0},
      {"empty entry name", archive("aaabb", item("", "0", "3")), 0},
      {"no TOC", header(0) + "<OTHER> 1 </OTHER>", 0},
      {"index not a document", header(0) + "</TOC>", 0},
      {"index of garbage", header(0) + std::string("\x01\xFF<<>>\0\0", 8), 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    LogScope log;
    Fixture f;
    f.dir.write("X.KRV", r.bytes);
    EXPECT_FALSE(f.fs.loadArchive(f.path("X.KRV"), S("0"), false));
    EXPECT_FALSE(f.fs.lastError().empty());
    EXPECT_NE(log.text().find("***ERROR***> archive"), std::string::npos);
    int cached = 0;
    for (int32_t i = 0; i < f.fs.itemCount(); ++i) {
      int32_t id;
      f.fs.nameOf(i, &id);
      cached += f.fs.isCached(id) ? 1 : 0;
    }
    EXPECT_EQ(cached, r.loaded);
    CoreFsys::ArchiveInfo info;
    CoreFsys::inspectArchive(f.path("X.KRV"), info);  // must not crash either
    // A loaded bad archive never holds more than the file's size.
    EXPECT_LE(f.pool.allocated(), static_cast<int32_t>(r.bytes.size()) + 64 * CorePool::kSlack);
  }
}

TEST(FsysTest, SeekReadAndEndOnACachedItem) {
  CorePool pool;
  CoreFsys fs(&pool);
  const int32_t id = fs.registerItem(S("X.BIN"));
  std::string data(100, '\0');
  for (int i = 0; i < 100; ++i) data[static_cast<size_t>(i)] = static_cast<char>(i);
  fs.setData(id, data.data(), 100, S(""));
  ASSERT_TRUE(fs.open(id, "rb"));

  struct Row {
    int32_t offset, origin, result, position;
  };
  const Row rows[] = {
      {99, 0, 0, 99}, {100, 0, -1, 99}, {0, 2, 0, 99}, {-99, 2, 0, 0}, {10, 1, 0, 10},
      {-11, 1, -1, 10}, {-1, 0, -1, 10}, {1, 2, -1, 10}, {5, 3, -1, 10}, {0, 0, 0, 0},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(fs.seek(id, r.offset, r.origin), r.result) << r.offset << "/" << r.origin;
    unsigned char b = 0xEE;
    if (r.position < 100) {
      ASSERT_EQ(fs.read(id, &b, 1), 1);
      EXPECT_EQ(b, r.position);
      fs.seek(id, -1, 1);
    }
  }
  fs.seek(id, 98, 0);
  unsigned char block[4] = {9, 9, 9, 9};
  EXPECT_EQ(fs.read(id, block, 4), 0);  // runs past the end: cut, zero-filled, incomplete
  EXPECT_EQ(block[0], 98);
  EXPECT_EQ(block[1], 99);
  EXPECT_EQ(block[2], 0);
  EXPECT_EQ(block[3], 0);
  EXPECT_TRUE(fs.atEnd(id));
  EXPECT_EQ(fs.read(id, block, 1), 0);
  ASSERT_TRUE(fs.open(id, "rb"));
  EXPECT_FALSE(fs.atEnd(id));
  unsigned char all[100];
  EXPECT_EQ(fs.read(id, all, 100), 1);
  EXPECT_EQ(std::memcmp(all, data.data(), 100), 0);
  EXPECT_TRUE(fs.atEnd(id));

  // Unknown ids do nothing.
  EXPECT_EQ(fs.seek(999, 0, 0), -1);
  EXPECT_EQ(fs.read(999, block, 1), 0);
  EXPECT_FALSE(fs.atEnd(999));
  EXPECT_FALSE(fs.open(999, "rb"));
  EXPECT_EQ(fs.textOf(999), "");
  EXPECT_FALSE(fs.setData(999, "x", 1, S("")));
  fs.close(999);
}

TEST(FsysTest, FileItemsThroughTheBaseFolder) {
  Fixture f;
  f.dir.write("Progs/Tape/h1.wav", "RIFFdata");
  f.fs.setBaseFolder(f.path("PROGS\\"));
  const int32_t id = f.fs.registerItem(S("tape\\h1.wav"));
  EXPECT_EQ(f.fs.nameOf(0, nullptr), "TAPE\\H1.WAV");
  ASSERT_TRUE(f.fs.open(id, "rb"));
  char four[4];
  EXPECT_EQ(f.fs.read(id, four, 4), 1);
  EXPECT_EQ(std::string(four, 4), "RIFF");
  EXPECT_EQ(f.fs.seek(id, 2, 1), 0);
  EXPECT_EQ(f.fs.read(id, four, 2), 1);
  EXPECT_EQ(std::string(four, 2), "ta");
  EXPECT_EQ(f.fs.read(id, four, 4), 0);  // only 0 bytes left
  EXPECT_TRUE(f.fs.atEnd(id));
  f.fs.close(id);

  EXPECT_TRUE(f.fs.cacheFile(id, false));
  EXPECT_FALSE(f.fs.cacheFile(id, true));
  EXPECT_EQ(f.fs.textOf(id), "RIFFdata");
  const int32_t missing = f.fs.registerItem(S("NONE.WAV"));
  EXPECT_FALSE(f.fs.cacheFile(missing, false));
  EXPECT_FALSE(f.fs.open(missing, "rb"));
  const int32_t folder = f.fs.registerItem(S("TAPE"), false);
  EXPECT_FALSE(f.fs.open(folder, "rb"));  // a folder is not a file
  EXPECT_FALSE(f.fs.cacheFile(folder, false));
}

TEST(FsysTest, ReleaseFetchAgainAndClear) {
  Fixture f;
  f.dir.write("P.KRP", archive("wavexml!", item("H1.WAV", "0", "4") + item("PROG.XML", "4", "4")));
  ASSERT_TRUE(f.fs.loadArchive(f.path("P.KRP"), S("0"), false));
  const int32_t h1 = f.fs.registerItem(S("H1.WAV"));
  const int32_t prog = f.fs.registerItem(S("PROG.XML"));
  f.fs.release(S(".wav"));
  EXPECT_FALSE(f.fs.isCached(h1));
  EXPECT_TRUE(f.fs.isCached(prog));
  EXPECT_EQ(f.fs.itemCount(), 2);
  f.fs.setBaseFolder(S(f.dir.folder()));
  EXPECT_FALSE(f.fs.available(S("H1.WAV")));
  f.dir.write("H1.WAV", "loose");
  EXPECT_TRUE(f.fs.available(S("H1.WAV")));
  EXPECT_TRUE(f.fs.available(S("PROG.XML")));

  ASSERT_TRUE(f.fs.fetchAgain(S(".WAV")));
  EXPECT_EQ(bytesOf(f.fs, h1), "wave");

  EXPECT_GT(f.pool.blockCount(), 0);
  for (const CorePool::Block& b : f.pool.blocks()) EXPECT_STREQ(b.tag, "FSYS");
  f.fs.clear();
  EXPECT_EQ(f.fs.itemCount(), 0);
  EXPECT_EQ(f.pool.blockCount(), 0);
}

TEST(FsysTest, UnpackWritesItemsAndRewritesDocuments) {
  Fixture f;
  const int32_t xml = f.fs.registerItem(S("PROG.XML"));
  const int32_t wav = f.fs.registerItem(S("TAPE\\H1.WAV"));
  const int32_t bad = f.fs.registerItem(S("..\\ESCAPE.WAV"));
  const int32_t broken = f.fs.registerItem(S("BROKEN.XML"));
  f.fs.setData(xml, "<PROGRAM><NAME>x</NAME></PROGRAM>", 33, S(""));
  f.fs.setData(wav, "RI\0FF", 5, S(""));
  f.fs.setData(bad, "no", 2, S(""));
  f.fs.setData(broken, "</A>", 4, S(""));
  std::filesystem::create_directories(f.dir.path() / "out" / "tape");
  f.fs.setBaseFolder(f.path("out/"));
  EXPECT_FALSE(f.fs.unpack());  // the escaping name is refused, the rest written
  EXPECT_EQ(f.dir.read("out/PROG.XML"),
            std::string(CoreXmld::kHeader) + "\r\n" + CoreXmld::kBanner +
                "\r\n<PROGRAM>\r\n  <NAME> x </NAME>\r\n</PROGRAM>\r\n");
  EXPECT_EQ(f.dir.read("out/tape/H1.WAV"), std::string("RI\0FF", 5));  // existing folder reused
  EXPECT_EQ(f.dir.read("out/BROKEN.XML"), "</A>");                     // kept as it is
  EXPECT_FALSE(std::filesystem::exists(f.dir.path() / "ESCAPE.WAV"));

  CoreFsys raw(&f.pool);
  raw.setData(raw.registerItem(S("PROG.XML")), "<A>1</A>", 8, S(""));
  raw.setBaseFolder(f.path("raw/"));
  std::filesystem::create_directories(f.dir.path() / "raw");
  EXPECT_TRUE(raw.unpack(false));
  EXPECT_EQ(f.dir.read("raw/PROG.XML"), "<A>1</A>");

  EXPECT_TRUE(CoreFsys::isSafeName(S("TAPE\\H1.WAV")));
  EXPECT_TRUE(CoreFsys::isSafeName(S("A..B.WAV")));
  EXPECT_FALSE(CoreFsys::isSafeName(S("\\ETC\\X")));
  EXPECT_FALSE(CoreFsys::isSafeName(S("C:\\X")));
  EXPECT_FALSE(CoreFsys::isSafeName(S("A\\..\\..\\X")));
  EXPECT_FALSE(CoreFsys::isSafeName(S("")));
}

TEST(FsysTest, LoadDocument) {
  Fixture f;
  f.dir.write("vox.xml", "<VECTOR><NAME> v </NAME></VECTOR>");
  f.fs.setBaseFolder(S(f.dir.folder()));
  CoreXmld doc;
  ASSERT_NE(f.fs.loadDocument(S("VOX.XML"), doc), nullptr);
  EXPECT_EQ(doc.root()->findChild(S("VECTOR"))->readText(S("NAME")), "v");
  EXPECT_TRUE(f.fs.isCached(f.fs.registerItem(S("VOX.XML"))));
  EXPECT_EQ(f.fs.loadDocument(S("NONE.XML"), doc), nullptr);
}

TEST(FsysTest, FileUtilities) {
  TempDir dir;
  dir.write("skins/b.krs", "b");
  dir.write("skins/A.KRS", "a");
  dir.write("skins/readme.txt", "r");
  dir.write("skins/Sub/x", "x");
  dir.write("skins/.hidden/x", "x");
  dir.write("skins/other.krs/x", "x");  // a folder, even when it matches the file pattern
  char before[4096];
  ASSERT_NE(::getcwd(before, sizeof before), nullptr);
  const auto names = [](const std::vector<CoreStrg>& list) {
    std::string s;
    for (const CoreStrg& n : list) s += n.str() + ";";
    return s;
  };
  const CoreStrg skins = S(dir.folder() + "SKINS\\");
  EXPECT_EQ(names(CoreFsys::listFolder(skins, S("*.KRS"), S("0"))), "A.KRS;b.krs;");
  EXPECT_EQ(names(CoreFsys::listFolder(skins, S("*.txt"), S("*"))), "readme.txt;Sub;other.krs;");
  EXPECT_EQ(names(CoreFsys::listFolder(S(dir.folder() + "none/"), S("*"), S("*"))), "");
  char after[4096];
  ASSERT_NE(::getcwd(after, sizeof after), nullptr);
  EXPECT_STREQ(before, after);  // the process's current folder is never touched

  EXPECT_TRUE(CoreFsys::fileExists(skins, S("a.krs")));
  EXPECT_FALSE(CoreFsys::fileExists(skins, S("sub")));  // a folder is not a file
  CoreStrg found("x");
  EXPECT_TRUE(CoreFsys::locate(S(dir.folder()), {S(dir.folder() + "none/"), skins}, S("README.TXT"), &found));
  EXPECT_EQ(found, skins);
  EXPECT_FALSE(CoreFsys::locate(S(dir.folder()), {}, S("README.TXT"), &found));
  EXPECT_EQ(found, "");

  const int64_t t = CoreFsys::modificationTime(S(dir.folder() + "skins/b.krs"));
  EXPECT_GT(t, 0);
  EXPECT_EQ(CoreFsys::modificationTime(S(dir.folder() + "missing")), 0);

  EXPECT_TRUE(CoreFsys::makeFolders(S(dir.folder() + "SKINS\\NEW\\DEEP\\FILE.XML")));
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "skins" / "NEW" / "DEEP"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "skins" / "NEW" / "DEEP" / "FILE.XML"));
  EXPECT_TRUE(CoreFsys::makeFolders(S("NOSEPARATOR")));
  EXPECT_FALSE(CoreFsys::makeFolders(S("/proc/ostrel-cannot/x/")));
}

TEST(FsysTest, OwnPoolWhenNoneIsGiven) {
  CoreFsys fs(nullptr);
  ASSERT_NE(fs.pool(), nullptr);
  const int32_t id = fs.registerItem(S("A"));
  EXPECT_TRUE(fs.setData(id, "abc", 3, S("")));
  EXPECT_EQ(fs.textOf(id), "abc");
}
