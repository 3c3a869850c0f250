// A document writer with an open page of a Letter sheet at 300 dpi (2550 x 3300 pixels, 0.24 points a pixel), for
// the converters that write the page's content, and helpers that make the engine's objects in device pixels.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "pdf/doc_writer.h"
#include "win/enginebrush.h"
#include "win/enginepath.h"
#include "win/machine.h"

class PageContentTest : public ::testing::Test {
 protected:
  PageContentTest() : scope_(machine_.Get()) {
    writer_.pageWidthPx = 2550;
    writer_.pageHeightPx = 3300;
    writer_.pointsPerPixel = 72.0 / 300;
    writer_.textWriter.SetDeviceSpace(writer_.pointsPerPixel, writer_.pageHeightPx);
    writer_.contentStream = std::make_unique<std::string>();
  }

  // What the page's content holds so far, and empties it.
  std::string Take() { return std::exchange(*writer_.contentStream, std::string()); }

  // An open polygon of device points.
  static std::unique_ptr<kq::PathObject> Polygon(std::initializer_list<std::pair<double, double>> points,
                                                 bool close = true) {
    auto path = std::make_unique<kq::PathObject>();
    bool first = true;
    for (const auto& [x, y] : points) {
      EXPECT_TRUE(first ? path->MoveTo(x, y) : path->LineTo(x, y));
      first = false;
    }
    if (close) path->CloseFigure();
    return path;
  }

  static std::unique_ptr<kq::BrushObject> Solid(ULONG color) { return kq::BrushObject::Solid(color); }

  // Text that stands pending in the text writer, as a text-out call would leave it.
  void PendText() {
    writer_.textWriter.pendingText = "(pending) ";
    writer_.textWriter.state = CPDF_TextWriter::kPending;
  }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_;
  CPDF_DocWriter writer_;
};
