#include "header_writer.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace {

TEST(HeaderWriterTest, HeadCutsTheNameAtItsFirstPoint) {
  const struct {
    std::string argument;
    std::string head;
  } cases[] = {
      {"ucode.h", "const int ucode[] = {\n"},
      {"ucode", "const int ucode[] = {\n"},
      {"boot.v2.h", "const int boot[] = {\n"},
      {".h", "const int [] = {\n"},
      {"", "const int [] = {\n"},
      {"not an-identifier!", "const int not an-identifier![] = {\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.argument);
    header_text output(64);
    write_array_head(output, c.argument);
    EXPECT_EQ(output.view(), c.head);
  }
}

TEST(HeaderWriterTest, ElementIsWrittenVerbatim) {
  const struct {
    std::string text;
    std::string line;
  } cases[] = {
      {"E1D2C3B4", "\t\t0xE1D2C3B4,\n"},
      {"F0", "\t\t0xF0,\n"},
      {"1b2c3d4e", "\t\t0x1b2c3d4e,\n"},
      {"Z\0\r\x1a"s, "\t\t0xZ\0\r\x1a,\n"s},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    header_text output(64);
    write_array_element(output, c.text);
    EXPECT_EQ(output.view(), c.line);
  }
}

// Text larger than the room left grows the block and loses nothing.
TEST(HeaderWriterTest, TextGrowsPastItsCapacity) {
  const std::string name(1000, 'n');
  header_text output(8);
  write_array_head(output, name);
  write_array_element(output, "0123ABCD");
  EXPECT_EQ(output.view(), "const int " + name + "[] = {\n\t\t0x0123ABCD,\n");
  output.clear();
  EXPECT_EQ(output.size(), 0u);
  write_array_tail(output);
  EXPECT_EQ(output.view(), "\t\t};\n");
}

}  // namespace
