// The text of every result code DirectDraw publishes, read from one table of expected rows (result_codes.txt).
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "display/DirectDraw.h"

namespace morvit {
namespace {

struct ResultRow {
  uint32_t code;
  std::string name;
  std::string message;
};

std::vector<ResultRow> ExpectedRows() {
  const std::string file = __FILE__;
  std::ifstream table(file.substr(0, file.rfind('/') + 1) + "result_codes.txt");
  std::vector<ResultRow> rows;
  for (std::string line; std::getline(table, line);) {
    if (line.empty() || line[0] == '#') continue;
    const size_t nameEnd = line.find('\t', 9);
    rows.push_back({static_cast<uint32_t>(std::stoul(line.substr(0, 8), nullptr, 16)), line.substr(9, nameEnd - 9),
                    line.substr(nameEnd + 1)});
  }
  return rows;
}

std::string Hex(uint32_t code) {
  char digits[12];
  std::snprintf(digits, sizeof digits, "%08X", code);
  return digits;
}

TEST(ResultText, EveryPublishedCode) {
  const std::vector<ResultRow> rows = ExpectedRows();
  ASSERT_EQ(rows.size(), 109u) << "rows read from result_codes.txt";
  for (const ResultRow& row : rows) {
    const HRESULT code = static_cast<HRESULT>(row.code);
    EXPECT_STREQ(ResultMessage(code), row.message.c_str()) << row.name;
    if (row.code == 0) {
      EXPECT_EQ(ResultText(code), "OK") << row.name << ": zero alone is OK";
    } else {
      EXPECT_EQ(ResultText(code), Hex(row.code) + "h " + row.message) << row.name;
    }
  }
}

}  // namespace
}  // namespace morvit
