// The transfer kernels over ordinary buffers with guard words around the block: what they read,
// write and copy, and what they leave of the x87 unit and the direction flag.
#include <gtest/gtest.h>

#include "support/FpuEnvironment.h"

#include <cstring>
#include <random>
#include <vector>

#include "console/Failure.h"
#include "measure/MorvitUtl.h"
#include "platform/Fpu.h"
#include "platform/Platform.h"

namespace morvit {
namespace {

using ::morvit::testing::FpuEnvironment;
using ::morvit::testing::StoreEnvironment;

constexpr uint32_t kGuard = 0xA5C3E10Fu;
constexpr size_t kGuardWords = 4;

// A block of 32-bit words with guard words on both sides, 8-byte aligned like a page buffer.
class GuardedBlock {
 public:
  explicit GuardedBlock(size_t words, uint32_t fill = 0) : storage_(words + 2 * kGuardWords + 1, kGuard) {
    offset_ = (reinterpret_cast<uintptr_t>(storage_.data() + kGuardWords) % 8 == 0) ? kGuardWords : kGuardWords + 1;
    words_ = words;
    for (size_t i = 0; i < words; ++i) Word(i) = fill;
  }
  uint32_t* Data() { return storage_.data() + offset_; }
  uint32_t& Word(size_t i) { return Data()[i]; }
  size_t Words() const { return words_; }
  bool GuardsIntact() const {
    for (size_t i = 0; i < offset_; ++i)
      if (storage_[i] != kGuard) return false;
    for (size_t i = offset_ + words_; i < storage_.size(); ++i)
      if (storage_[i] != kGuard) return false;
    return true;
  }

 private:
  std::vector<uint32_t> storage_;
  size_t offset_ = 0;
  size_t words_ = 0;
};


bool DirectionFlagSet() {
  uintptr_t flags;
  asm volatile("pushf\n\tpop %0" : "=r"(flags));
  return (flags & 0x400) != 0;
}

// Under the program's control word with fault handlers installed, so that an x87 exception a kernel
// raised would arrive as a Failure.
class Kernels : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = platform::StoreControlWord();
    platform::LoadControlWord(platform::kProgramControlWord);
  }
  void TearDown() override { platform::LoadControlWord(saved_); }
  platform::FaultConversion faultConversion_;

  uint16_t saved_ = 0;
};

TEST_F(Kernels, CountZeroTouchesNothing) {
  GuardedBlock source(0), destination(0);
  // A block of no words: its first word is a guard, so any access would change or read a guard.
  ReadDWords(source.Data(), 0);
  WriteDWords(destination.Data(), 0, 0x11111111u);
  CopyDWords(source.Data(), destination.Data(), 0);
  ReadQWords(source.Data(), 0);
  WriteQWords(destination.Data(), 0, 0x2222222222222222LL);
  CopyQWords(source.Data(), destination.Data(), 0);
  EXPECT_TRUE(source.GuardsIntact());
  EXPECT_TRUE(destination.GuardsIntact());
}

TEST_F(Kernels, CountZeroReadsNothingEvenFromAnInvalidAddress) {
  const void* invalid = reinterpret_cast<const void*>(uintptr_t{0x10});
  EXPECT_NO_THROW(ReadDWords(invalid, 0));
  EXPECT_NO_THROW(ReadQWords(invalid, 0));
  EXPECT_NO_THROW(CopyDWords(invalid, const_cast<void*>(invalid), 0));
  EXPECT_NO_THROW(CopyQWords(invalid, const_cast<void*>(invalid), 0));
}

TEST_F(Kernels, ReadsReachMemory) {
  // A read of one element past a valid one faults: the loads are really made, one per element.
  const void* invalid = reinterpret_cast<const void*>(uintptr_t{0x10});
  EXPECT_THROW(ReadDWords(invalid, 1), Failure);
  EXPECT_THROW(ReadQWords(invalid, 1), Failure);
  platform::LoadControlWord(platform::kProgramControlWord);
}

TEST_F(Kernels, WritesFillExactlyTheBlock) {
  GuardedBlock dwords(37), qwords(38);
  WriteDWords(dwords.Data(), 37, 0xDEADBEEFu);
  WriteQWords(qwords.Data(), 19, static_cast<int64_t>(0x0123456789ABCDEFULL));
  for (size_t i = 0; i < 37; ++i) ASSERT_EQ(dwords.Word(i), 0xDEADBEEFu) << i;
  for (size_t i = 0; i < 38; i += 2) {
    ASSERT_EQ(qwords.Word(i), 0x89ABCDEFu) << i;
    ASSERT_EQ(qwords.Word(i + 1), 0x01234567u) << i;
  }
  EXPECT_TRUE(dwords.GuardsIntact());
  EXPECT_TRUE(qwords.GuardsIntact());
}

TEST_F(Kernels, CopiesGoFromFirstArgumentToSecond) {
  for (bool qwords : {false, true}) {
    GuardedBlock source(64), destination(64, 0x77777777u);
    for (size_t i = 0; i < 64; ++i) source.Word(i) = static_cast<uint32_t>(i * 0x01010101u + 1);
    if (qwords) {
      CopyQWords(source.Data(), destination.Data(), 32);
    } else {
      CopyDWords(source.Data(), destination.Data(), 64);
    }
    for (size_t i = 0; i < 64; ++i) {
      ASSERT_EQ(destination.Word(i), static_cast<uint32_t>(i * 0x01010101u + 1)) << "qwords " << qwords << " at " << i;
      ASSERT_EQ(source.Word(i), static_cast<uint32_t>(i * 0x01010101u + 1)) << "source changed at " << i;
    }
    EXPECT_TRUE(source.GuardsIntact());
    EXPECT_TRUE(destination.GuardsIntact());
  }
}

TEST_F(Kernels, CopyQWordsMovesEveryPatternBitForBit) {
  std::vector<uint64_t> patterns = {
      0xFFFFFFFFFFFFFFFFULL,  // all ones: -1
      0x8000000000000000ULL,  // the sign bit alone: the most negative integer
      0x7FFFFFFFFFFFFFFFULL,  0x0000000000000000ULL, 0x0000000000000001ULL,
      0x7FF8000000000000ULL,  // quiet NaN as a double
      0x7FF0000000000001ULL,  // signalling NaN as a double
      0xFFF8000000000000ULL,  // negative quiet NaN
      0x7FF0000000000000ULL,  // +infinity
      0xFFF0000000000000ULL,  // -infinity
      0x0000000000000001ULL,  // smallest denormal
      0x000FFFFFFFFFFFFFULL,  // largest denormal
      0x8000000000000001ULL,  // negative denormal
      0x8000000000000000ULL | 0x7FF0000000000000ULL,
  };
  std::mt19937_64 random(20261207);
  for (int i = 0; i < 4096; ++i) patterns.push_back(random());

  GuardedBlock source(patterns.size() * 2), destination(patterns.size() * 2, 0x55555555u);
  std::memcpy(source.Data(), patterns.data(), patterns.size() * 8);
  CopyQWords(source.Data(), destination.Data(), static_cast<int32_t>(patterns.size()));
  std::vector<uint64_t> copied(patterns.size());
  std::memcpy(copied.data(), destination.Data(), copied.size() * 8);
  for (size_t i = 0; i < patterns.size(); ++i) ASSERT_EQ(copied[i], patterns[i]) << std::hex << patterns[i];
  EXPECT_TRUE(destination.GuardsIntact());

  // The fill goes the same way through the x87 unit.
  for (size_t i = 0; i < 14; ++i) {
    GuardedBlock filled(6);
    WriteQWords(filled.Data(), 3, static_cast<int64_t>(patterns[i]));
    uint64_t words[3];
    std::memcpy(words, filled.Data(), sizeof words);
    for (uint64_t word : words) ASSERT_EQ(word, patterns[i]) << std::hex << patterns[i];
  }
}

TEST_F(Kernels, DoubledFillLeavesTheBytesOfTheDWordFill) {
  for (uint32_t value : {0u, 1u, 0x80000000u, 0xFFFFFFFFu, 0x12345678u, 0x7FC00000u}) {
    GuardedBlock dwords(50), qwords(50);
    WriteDWords(dwords.Data(), 50, value);
    WriteQWords(qwords.Data(), 25, static_cast<int64_t>((static_cast<uint64_t>(value) << 32) | value));
    EXPECT_EQ(std::memcmp(dwords.Data(), qwords.Data(), 50 * 4), 0) << std::hex << value;
    EXPECT_TRUE(qwords.GuardsIntact());
  }
}

TEST_F(Kernels, HalfAnOddCountLeavesTheLastWord) {
  for (uint32_t dwordCount : {1u, 7u, 129u}) {
    const int32_t half = static_cast<int32_t>(dwordCount >> 1);
    GuardedBlock written(dwordCount, 0x33333333u);
    WriteQWords(written.Data(), half, -1);
    EXPECT_EQ(written.Word(dwordCount - 1), 0x33333333u) << dwordCount;
    if (dwordCount > 1) {
      EXPECT_EQ(written.Word(dwordCount - 2), 0xFFFFFFFFu) << dwordCount;
    }

    GuardedBlock source(dwordCount, 0x44444444u), destination(dwordCount, 0x33333333u);
    CopyQWords(source.Data(), destination.Data(), half);
    EXPECT_EQ(destination.Word(dwordCount - 1), 0x33333333u) << dwordCount;
    if (dwordCount > 1) {
      EXPECT_EQ(destination.Word(dwordCount - 2), 0x44444444u) << dwordCount;
    }
    EXPECT_TRUE(written.GuardsIntact());
    EXPECT_TRUE(destination.GuardsIntact());
  }
}

TEST_F(Kernels, LeaveTheFpuAndDirectionFlagAsFound) {
  GuardedBlock a(16, 0xFFFFFFFFu), b(16);
  const FpuEnvironment before = StoreEnvironment();
  ReadQWords(a.Data(), 8);
  WriteQWords(b.Data(), 8, -1);
  CopyQWords(a.Data(), b.Data(), 8);
  ReadDWords(a.Data(), 16);
  WriteDWords(b.Data(), 16, 5);
  CopyDWords(a.Data(), b.Data(), 16);
  EXPECT_FALSE(DirectionFlagSet());
  const FpuEnvironment after = StoreEnvironment();
  EXPECT_EQ(after.tag, before.tag) << "register stack as found";
  EXPECT_EQ(after.tag, 0xFFFF) << "register stack empty";
  EXPECT_EQ(after.status & 0x3800, before.status & 0x3800) << "stack top as found";
  EXPECT_EQ(after.status & 0x7F, 0) << "no exception flags, no stack fault";
  EXPECT_EQ(after.control, before.control);
}

TEST_F(Kernels, ClearTheDirectionFlagThemselves) {
  // The kernels run their string instructions forward even when called with the flag set.
  GuardedBlock source(8, 0x12121212u), destination(8), read(8, 1);
  asm volatile("std");
  CopyDWords(source.Data(), destination.Data(), 8);
  const bool leftSet = DirectionFlagSet();
  asm volatile("cld");
  EXPECT_FALSE(leftSet);
  for (size_t i = 0; i < 8; ++i) EXPECT_EQ(destination.Word(i), 0x12121212u);
  EXPECT_TRUE(destination.GuardsIntact());
  asm volatile("std");
  WriteDWords(destination.Data(), 8, 0x34343434u);
  ReadDWords(read.Data(), 8);
  asm volatile("cld");
  for (size_t i = 0; i < 8; ++i) EXPECT_EQ(destination.Word(i), 0x34343434u);
  EXPECT_TRUE(destination.GuardsIntact());
}

}  // namespace
}  // namespace morvit
