#include <zlib.h>

#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "pdf/background_flate.h"
#include "pdf/encoders.h"

namespace {

std::string Inflate(const std::string& stream, std::size_t expectedSize) {
  std::string out(expectedSize + 1, '\0');
  uLongf size = out.size();
  EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(stream.data()),
                       stream.size()),
            Z_OK);
  out.resize(size);
  return out;
}

std::string Compress(const std::string& input) {
  std::string out(compressBound(input.size()), '\0');
  uLongf size = out.size();
  compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(input.data()), input.size());
  out.resize(size);
  return out;
}

std::string RandomBytes(std::size_t n) {
  std::mt19937 random(42);
  std::string bytes(n, '\0');
  for (auto& b : bytes) b = static_cast<char>(random());
  return bytes;
}

// A heap that counts what goes through it; `failAfter` allocations succeed, then none.
struct CountingHeap {
  HeapTable table;
  int allocations = 0;
  int frees = 0;
  int failAfter = 1 << 30;
  std::size_t lastRequest = 0;

  static CountingHeap& Of(const HeapTable* t) {
    return *reinterpret_cast<CountingHeap*>(const_cast<HeapTable*>(t));
  }
  static void* Allocate(const HeapTable* t, std::size_t bytes) {
    auto& heap = Of(t);
    heap.lastRequest = bytes;
    if (heap.allocations >= heap.failAfter || bytes > (std::size_t{1} << 30)) return nullptr;
    ++heap.allocations;
    return std::malloc(bytes);
  }
  static void* Reallocate(const HeapTable*, void* block, std::size_t bytes) { return std::realloc(block, bytes); }
  static void Free(const HeapTable* t, void* block) {
    ++Of(t).frees;
    std::free(block);
  }

  CountingHeap() : table{Allocate, Allocate, Reallocate, Reallocate, {nullptr, nullptr}, Free} {}
  MemoryManager Manager() const { return MemoryManager{&table}; }
};
static_assert(offsetof(CountingHeap, table) == 0);

TEST(Flate, AnEmptyInputIsTheEmptyZlibStream) {
  const auto out = FlateEncode("", 0);
  ASSERT_TRUE(out);
  EXPECT_EQ(*out, std::string("\x78\x9C\x03\x00\x00\x00\x00\x01", 8));
}

TEST(Flate, OutputInflatesBackAndEqualsCompress) {
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "/CS1 cs /CS1 CS 72 720 m 540 720 l S ";
  const std::string inputs[] = {"a", text, RandomBytes(1 << 20)};
  for (const auto& input : inputs) {
    SCOPED_TRACE(input.size());
    const auto out = FlateEncode(input.data(), input.size());
    ASSERT_TRUE(out);
    EXPECT_TRUE(Inflate(*out, input.size()) == input);
    EXPECT_TRUE(*out == Compress(input));
  }
  const std::string random = RandomBytes(1 << 20);
  EXPECT_GT(FlateEncode(random.data(), random.size())->size(), random.size());
}

TEST(Flate, AnEncoderKeptAcrossStreamsGivesEachTheBytesOfAFreshOne) {
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "BT /F4 1 Tf 0 0 0 sc 6 79.176 TD [(\\000\\001)12.001(\\000\\002)]TJ ET\n";
  // Larger and smaller than the output buffer the encoder keeps, an empty one between them.
  const std::string inputs[] = {RandomBytes(3 << 20), text, "", "a", RandomBytes(100'000), text.substr(0, 5000), text};
  FlateEncoder encoder;
  for (const auto& input : inputs) {
    SCOPED_TRACE(input.size());
    const auto out = encoder.Encode(input.data(), input.size());
    ASSERT_TRUE(out);
    EXPECT_TRUE(*out == Compress(input));
  }
}

// The writer's thread: each stream handed over comes back as compress's bytes, with the input given back; one at
// a time; a compressor dropped with a stream out waits for it.
TEST(Flate, TheBackgroundCompressorGivesEachStreamTheBytesOfAFreshEncoder) {
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "BT /F4 1 Tf 0 0 0 sc 6 79.176 TD [<00010002>12.001<0003>]TJ ET\n";
  const std::string inputs[] = {text, "", RandomBytes(3 << 20), "a", text.substr(0, 5000), text};
  BackgroundFlate flate;
  EXPECT_FALSE(flate.Take(nullptr)) << "nothing was started";
  for (const auto& input : inputs) {
    SCOPED_TRACE(input.size());
    ASSERT_TRUE(flate.Start(std::string(input)));
    EXPECT_TRUE(flate.Started());
    std::string refused = "next";
    EXPECT_FALSE(flate.Start(std::move(refused))) << "one stream at a time";
    EXPECT_EQ(refused, "next") << "a refused stream stays with the caller";
    std::string back;
    const auto out = flate.Take(&back);
    ASSERT_TRUE(out);
    EXPECT_TRUE(*out == Compress(input));
    EXPECT_TRUE(back == input);
    EXPECT_FALSE(flate.Started());
  }
  auto dropped = std::make_unique<BackgroundFlate>();
  ASSERT_TRUE(dropped->Start(RandomBytes(1 << 20)));
  dropped.reset();
}

TEST(Flate, AnEncoderWhoseStateCouldNotBeMadeTriesAgainWithTheNextStream) {
  CountingHeap heap;
  heap.failAfter = 0;
  const MemoryManager manager = heap.Manager();
  const std::string input = RandomBytes(10'000);
  {
    FlateEncoder encoder(manager);
    EXPECT_FALSE(encoder.Encode(input.data(), input.size()));
    heap.failAfter = 1 << 30;
    const auto out = encoder.Encode(input.data(), input.size());
    ASSERT_TRUE(out);
    EXPECT_TRUE(*out == Compress(input));
  }
  EXPECT_EQ(heap.frees, heap.allocations);
}

TEST(Flate, TheCompressionLibrarysMemoryGoesThroughTheManager) {
  CountingHeap heap;
  const MemoryManager manager = heap.Manager();
  const std::string input = RandomBytes(100'000);
  const auto out = FlateEncode(input.data(), input.size(), manager);
  ASSERT_TRUE(out);
  EXPECT_TRUE(Inflate(*out, input.size()) == input);
  EXPECT_GT(heap.allocations, 0);
  EXPECT_EQ(heap.frees, heap.allocations);
}

TEST(Flate, AnAllocationFailureIsReportedNotReturnedAsData) {
  const std::string input = RandomBytes(10'000);
  int failed = 0, encoded = 0;
  for (int failAfter = 0; failAfter <= 10; ++failAfter) {
    SCOPED_TRACE(failAfter);
    CountingHeap heap;
    heap.failAfter = failAfter;
    const auto out = FlateEncode(input.data(), input.size(), heap.Manager());
    if (out) {
      ++encoded;
      EXPECT_TRUE(Inflate(*out, input.size()) == input);  // whenever there is a stream, it is whole
    } else {
      ++failed;
    }
    EXPECT_EQ(heap.frees, heap.allocations);
  }
  EXPECT_GT(failed, 0);
  EXPECT_GT(encoded, 0);
}

TEST(Flate, ZlibAllocMultipliesWithoutOverflow) {
  CountingHeap heap;
  MemoryManager manager = heap.Manager();
  // 65536 x 65536 is 4 GiB: a 32-bit product would wrap to 0 and hand out a block of nothing.
  EXPECT_EQ(ZlibAlloc(&manager, 65536, 65536), nullptr);
  EXPECT_EQ(heap.lastRequest, std::size_t{1} << 32);
  void* small = ZlibAlloc(&manager, 3, 5);
  ASSERT_NE(small, nullptr);
  EXPECT_EQ(heap.lastRequest, 15u);
  ZlibFree(&manager, small);
  ZlibFree(&manager, nullptr);
  EXPECT_EQ(heap.frees, 1);
}

}  // namespace
