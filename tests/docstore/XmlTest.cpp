#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/CoreAnsx.h"
#include "docstore/CoreXmld.h"
#include "docstore/CoreXnod.h"
#include "support/TempDir.h"

namespace {

CoreStrg S(const char* t) { return CoreStrg(t); }

// The first top-level element of a parsed text.
struct Parsed {
  explicit Parsed(const char* text) { doc.parseText(CoreStrg(text)); }
  CoreXnod& root() { return *doc.root(); }
  CoreXmld doc;
};

std::string serialize(const char* text, bool indent) {
  CoreXmld doc;
  doc.parseText(CoreStrg(text));
  return doc.serialize(indent, false).str();
}

}  // namespace

TEST(XmlTest, ValuesKeepTheirBlanksAndReadersTrim) {
  Parsed p("<A> 12 </A>");
  ASSERT_NE(p.root().findChild(S("A")), nullptr);
  EXPECT_EQ(p.root().childValue(S("A")), " 12 ");
  EXPECT_EQ(p.root().readInteger(S("A")), 12);
  EXPECT_EQ(p.root().readText(S("A")), "12");
}

TEST(XmlTest, EmptyBlankZeroAndMissingValues) {
  struct Row {
    const char* text;
    bool hasValue;
    const char* readText;
    double readReal;
    const char* readTextOr;
    int32_t readIntegerOr;
  };
  const Row rows[] = {
      {"<A></A>", true, "", 0.0, "", 0},
      {"<A>   </A>", true, "", 0.0, "", 0},
      {"<B>1</B>", false, "", 0.0, "dflt", 7},   // A missing
      {"<A>0</A>", false, "", 0.0, "dflt", 7},   // exactly "0": as if missing
      {"<A> 0 </A>", true, "0", 0.0, "0", 0},    // the writer's 0 is a value
      {"<A>2.5</A>", true, "2.5", 2.5, "2.5", 2},
  };
  for (const Row& r : rows) {
    Parsed p(r.text);
    SCOPED_TRACE(r.text);
    EXPECT_EQ(p.root().hasValue(S("A")), r.hasValue);
    EXPECT_EQ(p.root().readText(S("A")), r.readText);
    EXPECT_EQ(p.root().readReal(S("A")), r.readReal);
    EXPECT_EQ(p.root().readTextOr(S("A"), S("dflt")), r.readTextOr);
    EXPECT_EQ(p.root().readIntegerOr(S("A"), 7), r.readIntegerOr);
    EXPECT_EQ(p.root().readRealOr(S("A"), 7.0), r.hasValue ? r.readReal : 7.0);
  }
  Parsed empty("<A></A>");
  EXPECT_EQ(empty.root().findChild(S("A"))->childCount(), 1);  // one (empty) text leaf
}

TEST(XmlTest, ValueOfAnElementIsItsFirstChildName) {
  Parsed p("<A><B>1</B></A>");
  EXPECT_EQ(p.root().childValue(S("A")), "B");
  EXPECT_EQ(p.root().readInteger(S("A")), 0);
  EXPECT_EQ(p.root().childValue(S("Z")), "0");
}

TEST(XmlTest, FindTakesTheLastWalkTheFirst) {
  Parsed p("<X>1</X><X>2</X>");
  EXPECT_EQ(p.root().findChild(S("X"))->value(), "2");
  EXPECT_EQ(p.root().walkPath({S("X")})->value(), "1");
  EXPECT_EQ(p.root().countChildren(S("X")), 2);
  EXPECT_EQ(p.root().nthChildValue(S("X"), 1), "2");
  EXPECT_EQ(p.root().nthChildValue(S("X"), 2), "");
}

TEST(XmlTest, NamesComparedTrimmedAndUpperCased) {
  Parsed p("<NAME>a</NAME>< Name >b</ Name >");
  EXPECT_EQ(p.root().findChild(S("name"))->name(), " Name ");
  EXPECT_EQ(p.root().countChildren(S("name")), 0);  // the tag is taken as passed
  EXPECT_EQ(p.root().countChildren(S("NAME")), 2);
  EXPECT_EQ(p.root().nthChildValue(S("NAME"), 1), "B");
  Parsed only("< Name >x</Name>");
  EXPECT_NE(only.root().findChild(S("name")), nullptr);
}

TEST(XmlTest, NumberReaders) {
  struct Row {
    const char* value;
    double real;
    int32_t integer;
    int32_t integerOr;
  };
  const Row rows[] = {
      {"1,5", 1.5, 1, 1},     {"1.9", 1.9, 1, 1},       {"-1.9", -1.9, -1, -1},
      {"12abc", 12.0, 12, 12}, {" 1E-05 ", 1e-05, 1, 0}, {"99999999999", 99999999999.0, INT32_MAX, INT32_MAX},
      {"nan", 0.0, 0, 0},
  };
  for (const Row& r : rows) {
    const std::string text = std::string("<A>") + r.value + "</A>";
    Parsed p(text.c_str());
    SCOPED_TRACE(r.value);
    if (std::string(r.value) != "nan") {
      EXPECT_DOUBLE_EQ(p.root().readReal(S("A")), r.real);
    }
    EXPECT_EQ(p.root().readInteger(S("A")), r.integer);
    EXPECT_EQ(p.root().readIntegerOr(S("A"), 5), r.integerOr);
  }
}

TEST(XmlTest, TagsAreTakenAsWritten) {
  Parsed attr("<A x=\"1\">v</A>");
  EXPECT_EQ(attr.root().findChild(S("A")), nullptr);
  EXPECT_EQ(attr.root().child(0)->name(), "A x=\"1\"");

  Parsed decl("<?xml version=\"1.0\"?><!-- note --><A>1</A>");
  ASSERT_EQ(decl.root().childCount(), 1);
  EXPECT_EQ(decl.root().readText(S("A")), "1");

  // '</A>' closes B, whatever its name says; A stays open without complaint.
  Parsed open("<A><B>1</A>");
  ASSERT_EQ(open.root().childCount(), 1);
  const CoreXnod* a = open.root().child(0);
  EXPECT_EQ(a->name(), "A");
  EXPECT_EQ(a->readText(S("B")), "1");

  // Text after a closing tag, before the first tag, or before an opening tag is dropped.
  Parsed loose("junk<A>lost<B>kept</B>after</A>tail");
  EXPECT_EQ(loose.root().child(0)->childCount(), 1);
  EXPECT_EQ(loose.root().child(0)->readText(S("B")), "kept");

  Parsed stray("> <A>1</A>");  // a stray '>' is discarded like a declaration
  EXPECT_EQ(stray.root().readText(S("A")), "1");
}

TEST(XmlTest, ClosingTagAtTheTopThrowsAndClears) {
  CoreXmld doc;
  EXPECT_THROW(doc.parseText(S("</A>")), CoreAnsx);
  EXPECT_EQ(doc.root(), nullptr);
  EXPECT_FALSE(doc.loaded());
  EXPECT_THROW(doc.parseText(S("<A>1</A></B>")), CoreAnsx);
  EXPECT_FALSE(doc.loaded());
}

TEST(XmlTest, ZeroTextIsNoDocument) {
  CoreXmld doc;
  EXPECT_EQ(doc.parseText(S("0")), nullptr);
  EXPECT_FALSE(doc.loaded());
  ASSERT_NE(doc.parseText(S("")), nullptr);  // an empty text is an empty document
  EXPECT_TRUE(doc.loaded());
  EXPECT_EQ(doc.root()->name(), "ROOT");
}

TEST(XmlTest, LongTagsAreCutTo255Bytes) {
  const std::string name(300, 'N');
  const std::string text = "<" + name + ">v</" + name + "><B>1</B>";
  CoreXmld doc;
  doc.parseText(CoreStrg(std::string_view(text)));
  ASSERT_EQ(doc.root()->childCount(), 2);
  EXPECT_EQ(doc.root()->child(0)->name().str(), std::string(255, 'N'));
  EXPECT_EQ(doc.root()->readText(S("B")), "1");
}

TEST(XmlTest, SerializerExampleByteForByte) {
  auto root = CoreXnod::makeElement(S("ROOT"));
  CoreXnod* program = root->addChild(CoreXnod::makeElement(S("PROGRAM")));
  program->addChild(CoreXnod::makeValue(S("NAME"), S("x")));
  CoreXnod* lfo = program->addChild(CoreXnod::makeElement(S("LFO1")));
  lfo->addChild(CoreXnod::makeValue(S("MINRATE"), S("1")));
  CoreXmld doc;
  doc.setRoot(std::move(root));
  const std::string expected =
      "\r\n<PROGRAM>\r\n  <NAME> x </NAME>\r\n  <LFO1>\r\n    <MINRATE> 1 </MINRATE>\r\n"
      "  </LFO1>\r\n</PROGRAM>\r\n";
  const std::string text = doc.serialize(true, false).str();
  EXPECT_EQ(text, expected);

  CoreXmld again;
  again.parseText(CoreStrg(std::string_view(text)));
  EXPECT_EQ(again.serialize(true, false).str(), expected);

  EXPECT_EQ(doc.serialize(false, false).str(),
            "<PROGRAM><NAME> x </NAME><LFO1><MINRATE> 1 </MINRATE></LFO1></PROGRAM>");
  // The blank-line flag adds one line after each top-level opening tag only.
  EXPECT_EQ(doc.serialize(true, true).str(),
            "\r\n<PROGRAM>\r\n\r\n  <NAME> x </NAME>\r\n  <LFO1>\r\n    <MINRATE> 1 </MINRATE>\r\n"
            "  </LFO1>\r\n</PROGRAM>\r\n");
}

TEST(XmlTest, WriterRoundTripsItsOwnText) {
  const char* texts[] = {
      "<TOC><ITEM><ENTRY> a.wav </ENTRY></ITEM></TOC>",
      "<A></A><B><C>1</C><D><E> two words </E></D></B>",
      "<A>   </A><X>1</X><X>2</X>",
  };
  for (const char* t : texts) {
    for (bool indent : {false, true}) {
      const std::string once = serialize(t, indent);
      EXPECT_EQ(serialize(once.c_str(), indent), once) << t;
    }
  }
  EXPECT_EQ(serialize("<A>   </A>", false), "<A></A>");
  EXPECT_EQ(serialize("<A>x</A>", false), "<A> x </A>");
}

TEST(XmlTest, ElementWithoutChildrenIsWrittenAsText) {
  auto root = CoreXnod::makeElement(S("ROOT"));
  CoreXnod* a = root->addChild(CoreXnod::makeElement(S("A")));
  a->addChild(CoreXnod::makeElement(S("B")));
  EXPECT_EQ(CoreXmld::serializeNode(*root, false, false), "<A> B </A>");
}

TEST(XmlTest, ValuesHoldingALessThanAreCut) {
  auto root = CoreXnod::makeElement(S("ROOT"));
  root->addChild(CoreXnod::makeValue(S("NAME"), S("a<b")));
  root->addChild(CoreXnod::makeValue(S("NEXT"), S("1")));
  const std::string text = CoreXmld::serializeNode(*root, false, false).str();
  EXPECT_EQ(text, "<NAME> a </NAME><NEXT> 1 </NEXT>");
  CoreXmld back;
  back.parseText(CoreStrg(std::string_view(text)));
  EXPECT_EQ(back.root()->readText(S("NEXT")), "1");  // the rest of the file survives
}

// Switches LC_NUMERIC to a locale whose decimal mark is ",": an installed one, else one built
// with localedef in a temporary folder. Puts everything back when it goes.
class CommaLocale {
 public:
  CommaLocale() {
    const char* current = std::setlocale(LC_NUMERIC, nullptr);
    saved_ = current ? current : "C";
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "de_DE.utf8"})
      if (std::setlocale(LC_NUMERIC, name)) return;
    const std::string built = dir_.folder() + "de_DE.UTF-8";
    const std::string command = "localedef -i de_DE -f UTF-8 '" + built + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return;
    const char* path = std::getenv("LOCPATH");
    savedPath_ = path ? path : "";
    hadPath_ = path != nullptr;
    setenv("LOCPATH", dir_.path().c_str(), 1);
    changedPath_ = true;
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  }
  ~CommaLocale() {
    std::setlocale(LC_NUMERIC, saved_.c_str());
    if (changedPath_) {
      if (hadPath_)
        setenv("LOCPATH", savedPath_.c_str(), 1);
      else
        unsetenv("LOCPATH");
    }
  }
  bool active() const {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%G", 0.5);
    return std::string(buffer) == "0,5";
  }

 private:
  TempDir dir_;
  std::string saved_, savedPath_;
  bool hadPath_ = false, changedPath_ = false;
};

TEST(XmlTest, RealsUseAPointWhateverTheLocale) {
  struct Row {
    double x;
    const char* text;
  };
  const Row rows[] = {{0.5, "0.5"}, {0.00001, "1E-05"}, {1234567, "1.23457E+06"}, {100, "100"}, {0.1, "0.1"}};
  for (bool comma : {false, true}) {
    std::unique_ptr<CommaLocale> locale;
    if (comma) {
      locale = std::make_unique<CommaLocale>();
      if (!locale->active()) {
        GTEST_LOG_(INFO) << "no locale with a decimal comma could be made; C locale only";
        break;
      }
    }
    SCOPED_TRACE(comma ? "comma locale" : "C locale");
    for (const Row& r : rows) EXPECT_EQ(CoreXnod::makeReal(r.x)->name(), r.text);
    auto root = CoreXnod::makeElement(S("ROOT"));
    auto a = CoreXnod::makeElement(S("A"));
    a->addChild(CoreXnod::makeReal(0.1));
    root->addChild(std::move(a));
    EXPECT_EQ(CoreXmld::serializeNode(*root, false, false), "<A> 0.1 </A>");
    EXPECT_DOUBLE_EQ(root->readReal(S("A")), 0.1);
    Parsed p("<A>1,5</A>");
    EXPECT_DOUBLE_EQ(p.root().readReal(S("A")), 1.5);
  }
  EXPECT_EQ(CoreXnod::makeInteger(-42)->name(), "-42");
  EXPECT_EQ(CoreXnod::makeByte(200)->name(), "200");
}

TEST(XmlTest, PathOperations) {
  Parsed p("<PROGRAM><NAME>a</NAME><CATEGORY>b</CATEGORY></PROGRAM>");
  p.root().setValueAtPath({S("PROGRAM"), S("NAME")}, std::make_unique<CoreXnod>(S("new")));
  const CoreXnod* program = p.root().findChild(S("PROGRAM"));
  ASSERT_EQ(program->childCount(), 2);
  EXPECT_EQ(program->child(0)->name(), "CATEGORY");
  EXPECT_EQ(program->child(1)->name(), "NAME");
  EXPECT_EQ(program->readText(S("NAME")), "new");

  // Missing intermediate elements are made; the last one is not.
  EXPECT_EQ(p.root().walkPath({S("LIB"), S("BANK"), S("SLOT")}), nullptr);
  ASSERT_NE(p.root().walkPath({S("LIB"), S("BANK")}), nullptr);
  EXPECT_EQ(p.root().walkPath({S("lib")})->childCount(), 1);

  auto taken = p.root().takePath({S("PROGRAM"), S("CATEGORY")});
  ASSERT_NE(taken, nullptr);
  EXPECT_EQ(taken->value(), "b");
  p.root().removePath({S("PROGRAM"), S("NAME")});
  EXPECT_EQ(p.root().findChild(S("PROGRAM"))->childCount(), 0);
  p.root().setAtPath({S("TOP")}, CoreXnod::makeValue(S("TOP"), S("1")));
  EXPECT_EQ(p.root().readInteger(S("TOP")), 1);
  EXPECT_EQ(p.root().walkPath({}), nullptr);
}

TEST(XmlTest, CloneAndRemove) {
  Parsed p("<A><B>1</B><C>2</C></A>");
  auto copy = p.root().clone();
  EXPECT_EQ(CoreXmld::serializeNode(*copy, false, false), "<A><B> 1 </B><C> 2 </C></A>");
  CoreXnod* a = copy->child(0);
  auto b = a->removeChild(0);
  EXPECT_EQ(b->name(), "B");
  EXPECT_EQ(a->child(0)->name(), "C");
  EXPECT_EQ(a->removeChild(5), nullptr);
  EXPECT_EQ(a->child(-1), nullptr);
}

TEST(XmlTest, DeepNestingDoesNotRecurse) {
  const int depth = 100000;
  std::string text;
  text.reserve(depth * 8);
  for (int i = 0; i < depth; ++i) text += "<A>";
  text += "x";
  for (int i = 0; i < depth; ++i) text += "</A>";
  CoreXmld doc;
  ASSERT_NE(doc.parseText(text.data(), text.size()), nullptr);
  const std::string out = CoreXmld::serializeString(*doc.root(), false, false);
  std::string expected;
  for (int i = 0; i < depth; ++i) expected += "<A>";
  expected += " x ";
  for (int i = 0; i < depth; ++i) expected += "</A>";
  EXPECT_EQ(out, expected);
  auto copy = doc.root()->clone();  // destroyed at the end of the test, like the document
  EXPECT_EQ(copy->childCount(), 1);
}

TEST(XmlTest, FilesHeaderTextModeAndWideText) {
  TempDir dir;
  const std::string path = dir.folder() + "OUT.XML";
  ASSERT_TRUE(CoreXmld::saveFile(CoreStrg(std::string_view(path)), CoreStrg("\r\n<A> 1 </A>\r\n")));
  EXPECT_EQ(dir.read("OUT.XML"),
            "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<?generated by Ostrel2 parser?>"
            "\r\n<A> 1 </A>\r\n");
  CoreXmld doc;
  ASSERT_NE(doc.loadFile(CoreStrg(std::string_view(dir.folder() + "out.xml")), false), nullptr);
  EXPECT_EQ(doc.root()->readInteger(S("A")), 1);

  // CR LF is read as LF; NUL bytes are dropped.
  dir.write("crlf.xml", std::string("<A>a\r\nb</A><B>x\0y</B>", 22));
  doc.loadFile(CoreStrg(std::string_view(dir.folder() + "crlf.xml")), false);
  EXPECT_EQ(doc.root()->readText(S("A")), "a\nb");
  EXPECT_EQ(doc.root()->readText(S("B")), "xy");

  // UTF-16 little-endian with its mark parses like the 8-bit text when accepted.
  const std::string narrow = "<?xml version=\"1.0\"?>\r\n<MASTER><DL> 3 </DL></MASTER>\r\n";
  std::string wide = "\xFF\xFE";
  for (char c : narrow) {
    wide += c;
    wide += '\0';
  }
  dir.write("wide.xml", wide);
  ASSERT_NE(doc.loadFile(CoreStrg(std::string_view(dir.folder() + "wide.xml")), true), nullptr);
  EXPECT_EQ(doc.root()->findChild(S("MASTER"))->readInteger(S("DL")), 3);
  CoreXmld plain;
  plain.parseText(CoreStrg(std::string_view(narrow)));
  EXPECT_EQ(doc.serialize(true, false), plain.serialize(true, false));

  EXPECT_EQ(doc.loadFile(CoreStrg(std::string_view(dir.folder() + "missing.xml")), true), nullptr);
  EXPECT_FALSE(doc.loaded());
  EXPECT_FALSE(CoreXmld::saveFile(CoreStrg("/nonexistent-folder-for-ostrel/x.xml"), CoreStrg("")));
}
