// The scan mode key and the copy of a scanner's section into "[Scan]", on the text of simple.cfg.
#include <gtest/gtest.h>

#include "catalogue/UScanMode.h"

namespace {

TEST(ScanMode, KeyValues)
{
  EXPECT_EQ(ScanWithADFValue("G"), "1");
  for (const char* other : {"P", "g", "", "GG", " G"})
    EXPECT_EQ(ScanWithADFValue(other), "0") << other;
  EXPECT_TRUE(ReadsAsRollScanning("1"));
  EXPECT_TRUE(ReadsAsRollScanning("10"));
  EXPECT_FALSE(ReadsAsRollScanning(""));
  EXPECT_FALSE(ReadsAsRollScanning("0"));
  EXPECT_FALSE(ReadsAsRollScanning(" 1"));
}

TEST(ScanMode, FindLine)
{
  const TStringList lines = {"[Scan]", "a=1", "[Scan201]", "b=[x]"};
  EXPECT_EQ(FindLine(lines, "[", 0), 0);
  EXPECT_EQ(FindLine(lines, "[", 1), 2);
  EXPECT_EQ(FindLine(lines, "[", 3), 3);
  EXPECT_EQ(FindLine(lines, "Scan201", 0), 2);
  EXPECT_EQ(FindLine(lines, "scan201", 0), -1) << "case-sensitive";
  EXPECT_EQ(FindLine(lines, "[", 4), -1);
  EXPECT_EQ(FindLine(lines, "[", 99), -1);
  EXPECT_EQ(FindLine({}, "[", 0), -1);
}

TEST(ScanMode, TextLines)
{
  EXPECT_EQ(TextLines("a\r\nb\nc\rd"), (TStringList{"a", "b", "c", "d"}));
  EXPECT_EQ(TextLines("a\r\n\r\nb\r\n"), (TStringList{"a", "", "b"}));
  EXPECT_EQ(TextLines(""), TStringList{});
  EXPECT_EQ(TextLines("\r\n"), TStringList{""});
  EXPECT_EQ(LinesText({"a", "", "扫描"}), "a\r\n\r\n扫描\r\n");
}

TEST(ScanMode, CopySectionBodyToScan)
{
  struct Case {
    const char* Name;
    TStringList Before, After;
    const char* Section = "Scan201";
  } cases[] = {
      {"scan section first",
       {"[Scan]", "ScanWithADF=0", "Old=1", "[Scan201]", "ScanWithADF=1", "Dpi=300", "[Other]", "x=1"},
       {"[Scan]", "ScanWithADF=1", "Dpi=300", "[Scan201]", "ScanWithADF=1", "Dpi=300", "[Other]", "x=1"}},
      {"scan section after the scanner's",
       {"[Scan201]", "ScanWithADF=1", "[Scan]", "Old=1", "[Other]"},
       {"[Scan201]", "ScanWithADF=1", "[Scan]", "ScanWithADF=1", "[Other]"}},
      {"the scanner's section is the last one: its body runs to the end",
       {"[Scan]", "Old=1", "[Other]", "x=1", "[Scan250]", "ScanWithADF=0", "ScannerType=2"},
       {"[Scan]", "ScanWithADF=0", "ScannerType=2", "[Other]", "x=1", "[Scan250]", "ScanWithADF=0", "ScannerType=2"},
       "Scan250"},
      {"[Scan] is the last section: its old body runs to the end",
       {"[Scan201]", "ScanWithADF=1", "[Scan]", "Old=1", "Old=2"},
       {"[Scan201]", "ScanWithADF=1", "[Scan]", "ScanWithADF=1"}},
      {"no [Scan] section: it is added at the end",
       {"; settings", "[Scan201]", "ScanWithADF=1", "[Other]", "x=1"},
       {"; settings", "[Scan201]", "ScanWithADF=1", "[Other]", "x=1", "[Scan]", "ScanWithADF=1"}},
      {"a line containing [ ends a body",
       {"[Scan]", "Old=1", "Note=[kept]", "Old=2", "[Scan201]", "ScanWithADF=1", "; see [manual]", "Dpi=300"},
       {"[Scan]", "ScanWithADF=1", "Note=[kept]", "Old=2", "[Scan201]", "ScanWithADF=1", "; see [manual]", "Dpi=300"}},
      {"headers match like the profile functions, not by part of a line",
       {"[Scan2010]", "Wrong=1", "; [Scan201] below", "[SCAN]", "Old=1", " [scan201] ", "ScanWithADF=0"},
       {"[Scan2010]", "Wrong=1", "; [Scan201] below", "[SCAN]", "ScanWithADF=0", " [scan201] ", "ScanWithADF=0"}},
      {"text after a header's bracket, as the profile functions read it",
       {"[Scan] ; shared by both drivers", "Old=1", "[Scan201]  ; roll feed", "ScanWithADF=1", "[Other]"},
       {"[Scan] ; shared by both drivers", "ScanWithADF=1", "[Scan201]  ; roll feed", "ScanWithADF=1", "[Other]"}},
      {"a header's name ends at its first bracket",
       {"[Scan201]]", "ScanWithADF=0", "\t[scan]x]", "Old=1", "[Scan] ; a second one", "Old=2"},
       {"[Scan201]]", "ScanWithADF=0", "\t[scan]x]", "ScanWithADF=0", "[Scan] ; a second one", "Old=2"}},
      {"empty body",
       {"[Scan]", "Old=1", "[Scan201]", "[Other]"},
       {"[Scan]", "[Scan201]", "[Other]"}},
      {"a line of the old body that recurs later: only the body's copy goes",
       {"[Scan201]", "ScannerType=201", "[Scan]", "1", "Sc[Oth]", "1", "Sc", "[Scan]", "old"},
       {"[Scan201]", "ScannerType=201", "[Scan]", "ScannerType=201", "Sc[Oth]", "1", "Sc", "[Scan]", "old"}},
      {"no section of that scanner: nothing changes",
       {"[Scan]", "Old=1", "[Scan205]", "ScanWithADF=1"},
       {"[Scan]", "Old=1", "[Scan205]", "ScanWithADF=1"}},
  };
  for (const Case& c : cases) {
    TStringList lines = c.Before;
    CopySectionBodyToScan(lines, c.Section);
    EXPECT_EQ(lines, c.After) << c.Name;
  }
}

}  // namespace
