// A document writer on a fresh machine whose output goes to C:\out.pdf, and the bytes that reached that file.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "pdf/doc_writer.h"
#include "win/fileapi.h"
#include "win/machine.h"
#include "win/paths.h"

class WriterTest : public ::testing::Test {
 protected:
  WriterTest() : scope_(machine_.Get()) {
    writer_.outputFile = CreateFileW(u"C:\\out.pdf", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  }

  void SetUp() override { ASSERT_NE(writer_.outputFile, INVALID_HANDLE_VALUE); }

  // Closes the output file and reads it back.
  std::string Output() {
    if (writer_.outputFile != INVALID_HANDLE_VALUE) CloseHandle(writer_.outputFile);
    writer_.outputFile = INVALID_HANDLE_VALUE;
    std::ifstream in(*kq::HostPathFromWindows(u"C:\\out.pdf"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_;
  CPDF_DocWriter writer_;
};
