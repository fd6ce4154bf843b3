#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "display/DirectDraw.h"

namespace morvit {
namespace {

HRESULT Code(uint32_t bits) { return static_cast<HRESULT>(bits); }

TEST(ResultText, ZeroIsOkAndNothingElse) {
  EXPECT_EQ(ResultText(0), "OK");
  // The table's own row for zero is reached only directly.
  EXPECT_STREQ(ResultMessage(0), "The request completed successfully.");
}

TEST(ResultText, EightUpperCaseDigitsThenHAndTheMessage) {
  EXPECT_EQ(ResultText(1), "00000001h Unrecognized Error") << "only zero is OK, not every success code";
  EXPECT_EQ(ResultText(-2005532132),
            "8876021Ch Informs DirectDraw that the previous Blt which is transfering information to or from this "
            "Surface is incomplete.");
  EXPECT_EQ(ResultText(Code(0x887601C2u)),
            "887601C2h Access to this surface is being refused because the surface memory is gone. The "
            "DirectDrawSurface object representing this surface should have Restore called on it.");
  EXPECT_EQ(ResultText(Code(0x80070057u)),
            "80070057h One or more of the parameters passed to the function are incorrect.");
  EXPECT_EQ(ResultText(Code(0x0000ABCDu)), "0000ABCDh Unrecognized Error");
  EXPECT_EQ(ResultText(Code(0xFFFFFFFFu)), "FFFFFFFFh Unrecognized Error");
}

TEST(ResultText, MessagesKeepTheirOddities) {
  EXPECT_EQ(ResultText(Code(0x8876023Eu)),
            "8876023Eh  if a clipper object is attached to the source surface passed into a BltFast call.")
      << "the message itself begins with a blank";
  EXPECT_EQ(ResultText(Code(0x88760248u)),
            "88760248h Surface was not locked.  An attempt to unlock a surface that was not locked at all, or by this "
            "process, has been attempted.");
  EXPECT_STREQ(ResultMessage(Code(0x887600B4u)),
               "Operation could not be carried out because there is no alpha accleration hardware present or "
               "available.");
  EXPECT_STREQ(ResultMessage(Code(0x88760180u)), "Can only have ony color key active at one time for overlays.");
  EXPECT_STREQ(ResultMessage(Code(0x8876005Au)), "Height of rectangle provided is not a multiple of reqd alignment.");
  // Without a closing full stop, as the rows are.
  EXPECT_STREQ(ResultMessage(Code(0x887600D7u)), "Surface does not currently have a color key");
  EXPECT_STREQ(ResultMessage(Code(0x88760209u)), "The specified stream contains invalid data");
  EXPECT_STREQ(ResultMessage(Code(0x8876024Eu)), "The display is currently in an unsupported mode");
  EXPECT_STREQ(ResultMessage(Code(0x887602B7u)), "The video port is not active");
}

TEST(ResultText, TwoCodesShareTheOutOfMemoryMessage) {
  const std::string message = "DirectDraw does not have enough memory to perform the operation.";
  EXPECT_EQ(ResultText(Code(0x8007000Eu)), "8007000Eh " + message);
  EXPECT_EQ(ResultText(Code(0x8876017Cu)), "8876017Ch " + message);
}

TEST(ResultText, NeighboursOfListedCodesAreUnrecognized) {
  for (uint32_t code : {0x88760009u, 0x8876000Bu, 0x88760004u, 0x88760006u, 0x8876021Bu, 0x8876021Du, 0x887602BCu,
                        0x887602BAu, 0x80004000u, 0x80004002u, 0x8007000Du, 0x8007000Fu, 0x88760247u - 0x100u}) {
    EXPECT_STREQ(ResultMessage(Code(code)), "Unrecognized Error") << std::hex << code;
  }
  // Exact match only: another facility or severity with the same low word is no row.
  EXPECT_STREQ(ResultMessage(Code(0x0876021Cu)), "Unrecognized Error");
  EXPECT_STREQ(ResultMessage(Code(0x8877021Cu)), "Unrecognized Error");
  EXPECT_STREQ(ResultMessage(Code(0x0007000Eu)), "Unrecognized Error");
}

TEST(ResultText, TheTableHasItsRowsAndNoOthers) {
  // Every row but six lies in DirectDraw's facility; count what the lookup recognises there.
  int recognised = 0;
  for (uint32_t code = 0x88760000u; code <= 0x8876FFFFu; ++code) {
    if (std::string(ResultMessage(Code(code))) != "Unrecognized Error") ++recognised;
  }
  EXPECT_EQ(recognised, 103);
  for (uint32_t code : {0x00000000u, 0x80004001u, 0x80004005u, 0x800401F0u, 0x8007000Eu, 0x80070057u}) {
    EXPECT_STRNE(ResultMessage(Code(code)), "Unrecognized Error") << std::hex << code;
  }
  EXPECT_STREQ(ResultMessage(Code(0x80004005u)), "Generic failure.");
  EXPECT_STREQ(ResultMessage(Code(0x80004001u)), "Action not supported.");
}

}  // namespace
}  // namespace morvit
