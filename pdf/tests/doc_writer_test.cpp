#include <stdexcept>

#include "pdf/matrix.h"
#include "writer_fixture.h"

namespace {

using DocWriter = WriterTest;

TEST_F(DocWriter, StartsEmpty) {
  CPDF_DocWriter fresh;
  EXPECT_EQ(fresh.outputFile, INVALID_HANDLE_VALUE);
  EXPECT_EQ(fresh.lastObjectNumber, 0u);
  EXPECT_EQ(fresh.totalPages, 1);
  EXPECT_EQ(fresh.contentStream, nullptr);
  ASSERT_NE(fresh.progressArgs, nullptr);
  EXPECT_EQ(fresh.progressArgs->progressWindow.load(), nullptr);
  EXPECT_EQ(fresh.progressArgs->interactive.load(), 1u);
  EXPECT_EQ(fresh.progressWindow, nullptr);
  EXPECT_EQ(fresh.progressThread, nullptr);
  for (const RectList* list : {&fresh.dirtyRects, &fresh.queuedSrcRects, &fresh.queuedDestRects}) {
    EXPECT_EQ(list->Count(), 0u);
    EXPECT_GE(list->Capacity(), 256u);
  }
}

TEST_F(DocWriter, IndirectObjectsAreWrittenAndTheirOffsetsRecorded) {
  writer_.lastObjectNumber = 3;
  CPDF_Dictionary dictionary;
  dictionary.SetAt("/Type", "/Catalog");
  dictionary.SetAtReference("/Pages", 1);
  ASSERT_TRUE(writer_.WriteIndirectObject(2, dictionary));
  ASSERT_TRUE(writer_.WriteIndirectObject(3, CPDF_Number(7)));
  const std::string first = "2 0 obj\n<<\n/Pages 1 0 R \n/Type /Catalog \n>>\nendobj\n";
  EXPECT_EQ(Output(), first + "3 0 obj\n7 endobj\n");
  EXPECT_EQ(writer_.xrefOffsets, (std::vector<std::uint64_t>{0, 0, first.size()}));
  EXPECT_EQ(writer_.bytesWritten, first.size() + 17);
}

TEST_F(DocWriter, TheOffsetTableGrowsWithFreeEntriesAndKeepsTheLatestOffset) {
  writer_.lastObjectNumber = 7;
  for (int n = 1; n <= 3; ++n) writer_.WriteIndirectObject(n, CPDF_Literal("null"));
  writer_.WriteIndirectObject(7, CPDF_Literal("null"));
  ASSERT_EQ(writer_.xrefOffsets.size(), 7u);
  EXPECT_EQ(writer_.xrefOffsets[3], 0u);
  EXPECT_EQ(writer_.xrefOffsets[4], 0u);
  EXPECT_EQ(writer_.xrefOffsets[5], 0u);
  const std::uint64_t at = writer_.bytesWritten;
  writer_.WriteIndirectObject(2, CPDF_Literal("true"));
  EXPECT_EQ(writer_.xrefOffsets[1], at);
}

TEST_F(DocWriter, ANumberNeverHandedOutIsAProgrammingError) {
  writer_.lastObjectNumber = 4;
  for (std::int32_t n : {0, -1, 5, 1000}) {
    SCOPED_TRACE(n);
    EXPECT_THROW(writer_.WriteIndirectObject(n, CPDF_Literal("null")), std::out_of_range);
  }
  EXPECT_TRUE(writer_.xrefOffsets.empty());
  EXPECT_EQ(Output(), "");
}

TEST_F(DocWriter, OffsetsAreSixtyFourBit) {
  writer_.lastObjectNumber = 1;
  writer_.bytesWritten = 5'000'000'000ULL;
  ASSERT_TRUE(writer_.WriteIndirectObject(1, CPDF_Literal("null")));
  EXPECT_EQ(writer_.xrefOffsets[0], 5'000'000'000ULL);
  EXPECT_EQ(writer_.bytesWritten, 5'000'000'000ULL + 20);
}

TEST_F(DocWriter, AFileThatWouldPassTenDigitsFailsTheJob) {
  writer_.bytesWritten = CPDF_DocWriter::kMaxFileBytes - 5;
  EXPECT_TRUE(writer_.WriteRaw("12345"));  // exactly up to the limit
  EXPECT_FALSE(writer_.WriteRaw("x"));
  EXPECT_EQ(writer_.writeError, ERROR_FILE_TOO_LARGE);
  EXPECT_EQ(writer_.bytesWritten, CPDF_DocWriter::kMaxFileBytes);
  EXPECT_EQ(Output(), "12345");
}

TEST_F(DocWriter, AFailedWriteIsStickyAndNothingMoreIsWritten) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this host";
  HANDLE good = writer_.outputFile;
  writer_.outputFile = CreateFileW(u"Z:\\dev\\full", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer_.outputFile, INVALID_HANDLE_VALUE);
  writer_.lastObjectNumber = 2;
  EXPECT_FALSE(writer_.WriteIndirectObject(1, CPDF_Literal("null")));
  EXPECT_TRUE(writer_.HasWriteError());
  EXPECT_EQ(writer_.writeError, ERROR_DISK_FULL);
  EXPECT_EQ(writer_.bytesWritten, 0u);

  // Even with a healthy file behind the handle again, the writer stays failed.
  CloseHandle(writer_.outputFile);
  writer_.outputFile = good;
  EXPECT_FALSE(writer_.WriteIndirectObject(2, CPDF_Literal("null")));
  EXPECT_FALSE(writer_.WriteRaw("%%EOF"));
  EXPECT_EQ(writer_.writeError, ERROR_DISK_FULL);
  EXPECT_EQ(Output(), "");
}

TEST_F(DocWriter, WritingWithoutAFileFails) {
  CPDF_DocWriter closed;
  EXPECT_FALSE(closed.WriteRaw("%PDF-1.3\n"));
  EXPECT_EQ(closed.writeError, ERROR_INVALID_HANDLE);
}

TEST_F(DocWriter, TheWriterClosesItsFile) {
  const std::size_t before = kq::OpenHandleCount();
  {
    CPDF_DocWriter owner;
    owner.outputFile = CreateFileW(u"C:\\owned.pdf", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_EQ(kq::OpenHandleCount(), before + 1);
  }
  EXPECT_EQ(kq::OpenHandleCount(), before);
}

TEST_F(DocWriter, DeviceToPdfFlipsAndScales) {
  writer_.pageHeightPx = 3300;
  writer_.pointsPerPixel = 72.0 / 300;
  double x = 0, y = 0;
  writer_.DeviceToPdf(x, y);
  EXPECT_DOUBLE_EQ(x, 0);
  EXPECT_DOUBLE_EQ(y, 792);
  x = 300;
  y = 3000;
  writer_.DeviceToPdf(x, y);
  EXPECT_DOUBLE_EQ(x, 72);
  EXPECT_DOUBLE_EQ(y, 72);
  EXPECT_DOUBLE_EQ(writer_.ScaleToPoints(2550), 612);
}

TEST(Matrix, ConcatAppliesThisMatrixFirst) {
  Matrix2x3 m;
  m.Set(2, 0, 0, 3, 10, 20);
  Matrix2x3 identity;
  identity.Concat(m);
  EXPECT_EQ(std::vector<double>({identity.a, identity.b, identity.c, identity.d, identity.e, identity.f}),
            std::vector<double>({2, 0, 0, 3, 10, 20}));
  // A scale, then a rotation by 90 degrees: (1, 0) -> (2, 0) -> (0, 2).
  Matrix2x3 rotate;
  rotate.Set(0, 1, -1, 0, 0, 0);
  Matrix2x3 scale;
  scale.Set(2, 0, 0, 2, 1, 0);
  scale.Concat(rotate);
  EXPECT_EQ(std::vector<double>({scale.a, scale.b, scale.c, scale.d, scale.e, scale.f}),
            std::vector<double>({0, 2, -2, 0, 0, 1}));
}

}  // namespace
