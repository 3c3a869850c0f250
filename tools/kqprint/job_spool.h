// The pages of a job between its check and its printing, in compact form: the drawing ops (text, rect, line, path,
// clip) in binary, a text op's style only when it changes; the bitmap ops as their JSON in CBOR, read again by
// their op's reader. They stay in memory while they fit in a bound and go to an unnamed temporary file beyond it,
// so a job of any length is read and checked once while its memory stays that of a page.
#pragma once

#include <cstdio>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "draw_ops.h"
#include "job_file.h"

namespace kqprint {

class PageSpool {
 public:
  // Makes an op again from its JSON: its reader, with the page's and op's places for the errors.
  using Reread = std::function<JobOp(nlohmann::ordered_json op, std::size_t page, std::size_t index)>;

  explicit PageSpool(HoldLimit limit) : limit_(limit) {}

  // Keeps a checked op of the page being kept (an op without a compact form needs its JSON fields), then ends the
  // page. JobError when the temporary file cannot be made or written.
  void AddOp(const JobOp& op);
  void EndPage();
  // Hands the pages on in order, each made again from its form (JobError when the kept bytes cannot be read).
  void Read(const PageSink& sink, const Reread& reread, JobFiles& files);

  std::size_t Pages() const { return pages_; }
  // How many of them are held in memory; the rest are in the temporary file.
  std::size_t PagesInMemory() const { return memoryPages_; }

 private:
  static constexpr std::size_t kPageBufferBytes = std::size_t{1} << 20;
  void ClearPage();

  HoldLimit limit_;
  std::string memory_;   // the pages held in memory, each its byte count then its bytes
  std::string page_;     // the page being written or read: its op count, then its ops
  std::uint32_t pageOps_ = 0;
  std::size_t pages_ = 0, memoryPages_ = 0;
  CompactRun writing_;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_{nullptr, &std::fclose};
};

}  // namespace kqprint
