#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "win/clipboard.h"
#include "win/machine.h"
#include "win/user.h"

namespace {

class Clipboard : public ::testing::Test {
 protected:
  HGLOBAL Block(const char* text) {
    const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, std::strlen(text) + 1);
    std::memcpy(GlobalLock(block), text, std::strlen(text) + 1);
    GlobalUnlock(block);
    return block;
  }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_{machine_.Get()};
};

TEST_F(Clipboard, FormatsKeepTheirOrderAndTheClipboardOwnsWhatIsSetOnIt) {
  EXPECT_FALSE(EmptyClipboard());
  EXPECT_EQ(GetLastError(), ERROR_CLIPBOARD_NOT_OPEN);
  ASSERT_TRUE(OpenClipboard(nullptr));
  ASSERT_TRUE(EmptyClipboard());
  const HGLOBAL text = Block("text"), html = Block("<b>html</b>"), again = Block("again");
  const HBITMAP picture = kq::CreateBitmapFromPixels({1, 1, {0xFF0000}});
  const UINT custom = 0xC123;
  EXPECT_EQ(SetClipboardData(CF_TEXT, text), text);
  EXPECT_EQ(SetClipboardData(custom, html), html);
  EXPECT_EQ(SetClipboardData(CF_BITMAP, picture), picture);
  // A GDI format takes only GDI handles, a memory format only blocks.
  EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, picture), nullptr);
  EXPECT_EQ(SetClipboardData(CF_BITMAP, text), nullptr);
  EXPECT_EQ(CountClipboardFormats(), 3);
  EXPECT_EQ(EnumClipboardFormats(0), CF_TEXT);
  EXPECT_EQ(EnumClipboardFormats(CF_TEXT), custom);
  EXPECT_EQ(EnumClipboardFormats(custom), CF_BITMAP);
  EXPECT_EQ(EnumClipboardFormats(CF_BITMAP), 0u);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);

  // Setting a format again frees what it held; emptying frees everything.
  EXPECT_EQ(SetClipboardData(CF_TEXT, again), again);
  EXPECT_EQ(GlobalSize(text), 0u);
  EXPECT_EQ(GetClipboardData(CF_TEXT), again);
  EXPECT_EQ(EnumClipboardFormats(0), CF_TEXT);
  ASSERT_TRUE(EmptyClipboard());
  EXPECT_EQ(CountClipboardFormats(), 0);
  EXPECT_EQ(GlobalSize(again), 0u);
  EXPECT_FALSE(kq::ReadBitmap(picture, nullptr));
  EXPECT_TRUE(CloseClipboard());
  EXPECT_FALSE(CloseClipboard());
}

TEST_F(Clipboard, OneThreadAtATimeHoldsItOpen) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  std::thread other([this] {
    kq::MachineScope scope(machine_.Get());
    EXPECT_FALSE(OpenClipboard(nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetClipboardData(CF_TEXT), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_CLIPBOARD_NOT_OPEN);
  });
  other.join();
  ASSERT_TRUE(CloseClipboard());
  std::thread after([this] {
    kq::MachineScope scope(machine_.Get());
    EXPECT_TRUE(OpenClipboard(nullptr));
    EXPECT_TRUE(CloseClipboard());
  });
  after.join();
}

TEST_F(Clipboard, BlocksAndBitmapResources) {
  const HGLOBAL empty = GlobalAlloc(GHND, 0);
  ASSERT_TRUE(empty);
  EXPECT_EQ(GlobalSize(empty), 0u);
  EXPECT_NE(GlobalLock(empty), nullptr);
  EXPECT_EQ(GlobalFree(empty), nullptr);
  EXPECT_EQ(GlobalFree(empty), empty);
  EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, SIZE_T{1} << 40), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);

  const auto module = reinterpret_cast<HINSTANCE>(0x1000);
  kq::RegisterModuleBitmap(module, 7, {2, 1, {kResourceFace, 0x123456}});
  kq::BitmapPixels plain, mapped;
  const HANDLE asIs = LoadImageW(module, MAKEINTRESOURCEW(7), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR);
  const HANDLE to3d = LoadImageW(module, MAKEINTRESOURCEW(7), IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS);
  ASSERT_TRUE(kq::ReadBitmap(static_cast<HBITMAP>(asIs), &plain));
  ASSERT_TRUE(kq::ReadBitmap(static_cast<HBITMAP>(to3d), &mapped));
  EXPECT_EQ(plain.pixels, (std::vector<std::uint32_t>{kResourceFace, 0x123456}));
  EXPECT_EQ(mapped.pixels, (std::vector<std::uint32_t>{kSystemFace, 0x123456}));
  EXPECT_TRUE(DeleteObject(asIs));
  EXPECT_FALSE(DeleteObject(asIs));
  EXPECT_EQ(LoadImageW(module, MAKEINTRESOURCEW(8), IMAGE_BITMAP, 0, 0, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
}

}  // namespace
