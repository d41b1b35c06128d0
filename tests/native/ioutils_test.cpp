#include "util/UdsIOUtils.h"

#include <gtest/gtest.h>

namespace {

TEST(GetFileNameTest, NamePart)
{
  struct Case {
    const char* path;
    const char* expected;
  } cases[] = {
    {"C:\\scan\\T0001.tif", "T0001.tif"},
    {"\\\\server\\share\\a.b", "a.b"},
    {"T0001.tif", "T0001.tif"},
    {"", ""},
    {"C:", ""},
    {"C:T0001.tif", "T0001.tif"},        // drive-relative: the name ends at ":"
    {"C:\\", ""},
    {"scan\\T0001.tif", "T0001.tif"},
    {"scan\\", ""},
    {"a:b\\c:d", "d"},                    // drive part: ":" ends a name too
    {"ab:c", "ab:c"},                     // no drive part: only "\" ends a name
    {"dir\\ab:c", "ab:c"},
    {"\\\\server", "server"},
    {"\\single\\x", "x"},
    {"C:\\发票\\图像.tif", "图像.tif"},
    // GBK characters whose second byte is 0x5C ("\") do not end a name.
    {"C:\\scan\\淺.tif", "淺.tif"},
    {"乗俓", "乗俓"},
    {"dir\\乗", "乗"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TdsIOUtils::GetFileName(c.path), c.expected) << c.path;
}

TEST(GetFileNameTest, WithoutExtension)
{
  struct Case {
    const char* path;
    const char* expected;
  } cases[] = {
    {"T0001.tif", "T0001"},
    {"archive.tar.gz", "archive.tar"},
    {"README", ""},
    {"C:\\scan\\T0001.tif", "T0001"},
    {"C:\\scan.d\\README", ""},           // a dot in the folder is not the name's
    {".profile", ""},
    {"name.", "name"},
    {"", ""},
    {"C:\\发票\\图像.tif", "图像"},
    {"C:\\scan\\淺.tif", "淺"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TdsIOUtils::GetFileName(c.path, false), c.expected) << c.path;
    EXPECT_EQ(TdsIOUtils::GetFileName(c.path, true), TdsIOUtils::GetFileName(c.path)) << c.path;
  }
}

TEST(GetFolderTest, UpToTheLastBackslashOrColon)
{
  struct Case {
    const char* path;
    const char* expected;
  } cases[] = {
    {"C:\\Eng\\img\\p.tif", "C:\\Eng\\img\\"},
    {"C:p.tif", "C:"},
    {"p.tif", ""},
    {"", ""},
    {"\\\\server\\share\\a.ds", "\\\\server\\share\\"},
    {"C:\\Twain_32\\", "C:\\Twain_32\\"},
    // A GBK character whose second byte is 0x5C (the code of a backslash) is not a delimiter.
    {"C:\\淺\\p.tif", "C:\\淺\\"},
    {"C:\\dir\\淺", "C:\\dir\\"},
    {"淺p.tif", ""},
    // A lead byte at the very end has no trail byte: the byte before still counts.
    {"C:\\a\\\x81", "C:\\a\\"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TdsIOUtils::GetFolder(c.path), c.expected) << c.path;
}

}  // namespace
