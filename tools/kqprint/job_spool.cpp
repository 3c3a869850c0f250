#include "job_spool.h"

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string_view>

namespace kqprint {

namespace {

using Json = nlohmann::ordered_json;

enum : char { kJsonOp = 0, kCompactOp = 1 };

template <class T>
void Put(std::string& out, T value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

std::string_view Take(std::string_view& in, std::size_t size) {
  if (in.size() < size) throw JobError("the pages kept for printing end early");
  const std::string_view taken = in.substr(0, size);
  in.remove_prefix(size);
  return taken;
}

std::uint32_t Count(std::string_view& in) {
  std::uint32_t value;
  std::memcpy(&value, Take(in, sizeof value).data(), sizeof value);
  return value;
}

JobError KeepFailed() {
  return JobError(std::string("the checked pages cannot be kept for printing (") + std::strerror(errno) +
                  "; is the temporary folder full?)");
}

}  // namespace

void PageSpool::AddOp(const JobOp& op) {
  if (page_.empty()) Put(page_, std::uint32_t{0});  // the op count, set when the page ends
  ++pageOps_;
  Put(page_, static_cast<std::uint32_t>(op.op.size()));
  page_ += op.op;
  page_ += kCompactOp;
  if (op.drawing && op.drawing->WriteCompact(page_, writing_)) return;
  page_.back() = kJsonOp;
  const std::vector<std::uint8_t> cbor = Json::to_cbor(op.fields);
  Put(page_, static_cast<std::uint32_t>(cbor.size()));
  page_.append(reinterpret_cast<const char*>(cbor.data()), cbor.size());
}

void PageSpool::EndPage() {
  if (page_.empty()) Put(page_, std::uint32_t{0});
  std::memcpy(page_.data(), &pageOps_, sizeof pageOps_);
  pageOps_ = 0;
  ++pages_;
  if (!file_ && memoryPages_ < limit_.pages && memory_.size() + page_.size() + 4 <= limit_.bytes) {
    Put(memory_, static_cast<std::uint32_t>(page_.size()));
    memory_ += page_;
    ++memoryPages_;
    ClearPage();
    return;
  }
  if (!file_) {
    // The file has no name: it goes with the process, however it ends.
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
    if (ec) {
      errno = ec.value();
      throw KeepFailed();
    }
    std::string name = (folder / "kqprint-pages-XXXXXX").string();
    const int fd = mkstemp(name.data());
    if (fd < 0) throw KeepFailed();
    unlink(name.c_str());
    file_.reset(fdopen(fd, "w+b"));
    if (!file_) {
      close(fd);
      throw KeepFailed();
    }
    memory_.shrink_to_fit();
  }
  const auto size = static_cast<std::uint32_t>(page_.size());
  if (std::fwrite(&size, sizeof size, 1, file_.get()) != 1 ||
      std::fwrite(page_.data(), 1, page_.size(), file_.get()) != page_.size())
    throw KeepFailed();
  ClearPage();
}

void PageSpool::ClearPage() {
  // A page of very many ops gives its buffer back rather than keep it for the pages after.
  if (page_.capacity() > kPageBufferBytes)
    std::string().swap(page_);
  else
    page_.clear();
}

void PageSpool::Read(const PageSink& sink, const Reread& reread, JobFiles& files) {
  if (file_ && (std::fflush(file_.get()) != 0 || std::fseek(file_.get(), 0, SEEK_SET) != 0)) throw KeepFailed();
  CompactRun reading;
  std::string_view held = memory_;
  for (std::size_t index = 0; index < pages_; ++index) {
    std::string_view in;
    if (index < memoryPages_) {
      in = Take(held, Count(held));
    } else {
      std::uint32_t size = 0;
      if (std::fread(&size, sizeof size, 1, file_.get()) != 1) throw JobError("the pages kept for printing end early");
      page_.resize(size);
      if (std::fread(page_.data(), 1, size, file_.get()) != size)
        throw JobError("the pages kept for printing end early");
      in = page_;
    }
    JobPage page;
    const std::uint32_t ops = Count(in);
    page.ops.reserve(ops);
    for (std::uint32_t i = 0; i < ops; ++i) {
      std::string name(Take(in, Count(in)));
      if (Take(in, 1)[0] == kCompactOp) {
        page.ops.push_back(JobOp{std::move(name), Json(), ReadCompactOp(in, reading, files)});
      } else {
        const std::string_view cbor = Take(in, Count(in));
        page.ops.push_back(reread(Json::from_cbor(cbor.begin(), cbor.end()), index, i));
      }
    }
    files.PageDone();
    if (index >= memoryPages_) ClearPage();
    if (!sink(index, page)) return;
  }
}

}  // namespace kqprint
