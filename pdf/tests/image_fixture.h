// A document writer with an open Letter page at 300 dpi whose objects go to C:\out.pdf (the colour space is object
// 2, the next object 4), engine bitmaps of any format filled pixel by pixel, and readers for the objects written.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "document_fixture.h"
#include "pdf/doc_writer.h"
#include "win/enginebrush.h"
#include "win/fileapi.h"
#include "win/machine.h"
#include "win/paths.h"

// An engine bitmap, locked for the test.
class TestBitmap {
 public:
  TestBitmap(ULONG format, LONG width, LONG height, bool topDown) {
    hsurf_ = reinterpret_cast<HSURF>(EngCreateBitmap(SIZEL{width, height}, 0, format, topDown ? BMF_TOPDOWN : 0, nullptr));
    so_ = EngLockSurface(hsurf_);
  }
  ~TestBitmap() {
    EngUnlockSurface(so_);
    EngDeleteSurface(hsurf_);
  }
  SURFOBJ* so() const { return so_; }
  BYTE* Row(LONG y) const { return static_cast<BYTE*>(so_->pvScan0) + static_cast<std::ptrdiff_t>(y) * so_->lDelta; }
  // Sets every pixel to value(x, y), in the format's bits per pixel, packed from the most significant bit.
  void Fill(ULONG bits, const std::function<ULONG(LONG, LONG)>& value) const {
    for (LONG y = 0; y < so_->sizlBitmap.cy; ++y) {
      BYTE* row = Row(y);
      for (LONG x = 0; x < so_->sizlBitmap.cx; ++x) {
        const ULONG v = value(x, y);
        switch (bits) {
          case 1: row[x / 8] = static_cast<BYTE>((row[x / 8] & ~(0x80 >> (x % 8))) | ((v & 1) << (7 - x % 8))); break;
          case 4: row[x / 2] = static_cast<BYTE>(x % 2 ? (row[x / 2] & 0xF0) | (v & 0xF) : (row[x / 2] & 0x0F) | (v << 4)); break;
          default:
            for (ULONG b = 0; b < bits / 8; ++b) row[x * (bits / 8) + b] = static_cast<BYTE>(v >> (8 * b));
        }
      }
    }
  }

 private:
  HSURF hsurf_ = nullptr;
  SURFOBJ* so_ = nullptr;
};

class ImagePageTest : public ::testing::Test {
 protected:
  ImagePageTest() : scope_(machine_.Get()) {
    writer_.outputFile = CreateFileW(u"C:\\out.pdf", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    writer_.pageWidthPx = 2550;
    writer_.pageHeightPx = 3300;
    writer_.pointsPerPixel = 72.0 / 300;
    writer_.textWriter.SetDeviceSpace(writer_.pointsPerPixel, writer_.pageHeightPx);
    writer_.contentStream = std::make_unique<std::string>();
    writer_.colorSpaceNumber = 2;
    writer_.lastObjectNumber = 3;
  }

  void PendText() {
    writer_.textWriter.pendingText = "(pending) ";
    writer_.textWriter.state = CPDF_TextWriter::kPending;
  }

  std::string Take() { return std::exchange(*writer_.contentStream, std::string()); }

  // Every byte written so far.
  std::string Output() {
    std::ifstream in(*kq::HostPathFromWindows(u"C:\\out.pdf"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Object n as written, "endobj\n" included; empty when it was not written.
  std::string Object(std::uint32_t n) {
    const std::string file = Output();
    const std::string head = std::to_string(n) + " 0 obj\n";
    const auto at = file.find(head);
    return at == std::string::npos ? std::string() : doctest::ObjectAt(file, at);
  }
  std::string Dictionary(std::uint32_t n) {
    const std::string object = Object(n);
    return object.substr(0, object.find(">>"));
  }
  // The stream data of object n, inflated when it says /FlateDecode first.
  std::string Data(std::uint32_t n) {
    const std::string object = Object(n);
    const std::string data = doctest::StreamData(object);
    return object.find("/Filter /FlateDecode") != std::string::npos ||
                   object.find("/Filter [/FlateDecode") != std::string::npos
               ? Inflate(data)
               : data;
  }

  // Any zlib stream, whatever it inflates to.
  static std::string Inflate(const std::string& data) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return "(not a zlib stream)";
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    std::string out;
    char buffer[65536];
    int result = Z_OK;
    while (result == Z_OK) {
      z.next_out = reinterpret_cast<Bytef*>(buffer);
      z.avail_out = sizeof buffer;
      result = inflate(&z, Z_NO_FLUSH);
      out.append(buffer, sizeof buffer - z.avail_out);
    }
    inflateEnd(&z);
    return result == Z_STREAM_END ? out : "(not a zlib stream)";
  }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_;
  CPDF_DocWriter writer_;
};

inline kq::PaletteInfo Bitfields(FLONG red, FLONG green, FLONG blue) {
  kq::PaletteInfo p;
  p.mode = PAL_BITFIELDS;
  p.red = red;
  p.green = green;
  p.blue = blue;
  return p;
}

inline kq::PaletteInfo Mode(ULONG mode) {
  kq::PaletteInfo p;
  p.mode = mode;
  return p;
}
