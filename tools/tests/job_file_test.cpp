#include "job_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "win/machine.h"

namespace {

using nlohmann::ordered_json;

kqprint::PrintJob Parse(const char* text) { return kqprint::ParseJob(ordered_json::parse(text), "/jobs"); }

std::string ErrorOf(const char* text) {
  try {
    Parse(text);
  } catch (const kqprint::JobError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(JobFile, ReadsDocumentSettingsAndPagesInOrder) {
  const auto job = Parse(R"({ "document": "Microsoft Word - Report.docx",
      "settings": { "PaperSize": 9, "Orientation": 1, "Folder": "/tmp/out" },
      "pages": [ { "ops": [] }, {}, { "ops": [] } ] })");
  EXPECT_EQ(job.document, u"Microsoft Word - Report.docx");
  ASSERT_EQ(job.settings.size(), 3u);
  EXPECT_EQ(job.settings[0].name, "PaperSize");
  EXPECT_EQ(job.settings[1].name, "Orientation");
  EXPECT_EQ(job.settings[2].value, "/tmp/out");
  EXPECT_EQ(job.pages.size(), 3u);
  EXPECT_EQ(job.folder, "/jobs");

  const auto empty = Parse("{}");
  EXPECT_TRUE(empty.document.empty());
  EXPECT_TRUE(empty.pages.empty());
}

TEST(JobFile, NamesWhatIsWrongAndWhere) {
  const struct {
    const char* job;
    const char* message;
  } cases[] = {
      {R"({"pages": [ {"ops": []}, {"ops": [ {"op": "warp", "text": "Hello"} ]} ]})",
       "pages[1].ops[0]: unknown op \"warp\""},
      {R"({"pages": [ {"ops": [ {"op": "text", "text": "Hello"} ]} ]})",
       "pages[0].ops[0] (text): \"at\" is missing"},
      {R"({"pages": [ {"ops": [ {"op": 3} ]} ]})", "pages[0].ops[0]: an op is an object with an \"op\" name"},
      {R"({"pages": [ {"ops": {"op": "rect"}} ]})", "pages[0].ops: not an array"},
      {R"({"pages": [ 7 ]})", "pages[0]: a page is an object"},
      {R"({"pages": {}})", "pages: not an array"},
      {R"({"settings": []})", "settings: not an object"},
      {R"({"document": 12})", "document: not a text"},
      {R"([1, 2])", "the job is not a JSON object"},
  };
  for (const auto& c : cases) EXPECT_NE(ErrorOf(c.job).find(c.message), std::string::npos) << c.job;
}

TEST(JobFile, AFileThatIsNotJsonOrMissingIsAnError) {
  kq::TemporaryMachine scratch;
  const auto file = scratch->Root() / "broken.json";
  std::ofstream(file) << R"({"pages": [ )";
  try {
    kqprint::ReadJobFile(file);
    FAIL() << "no error";
  } catch (const kqprint::JobError& e) {
    EXPECT_NE(std::string(e.what()).find("broken.json: not JSON"), std::string::npos) << e.what();
  }
  EXPECT_THROW(kqprint::ReadJobFile(scratch->Root() / "missing.json"), kqprint::JobError);

  std::ofstream(scratch->Root() / "good.json") << R"({"document": "Hello", "pages": [{}]})";
  const auto job = kqprint::ReadJobFile(scratch->Root() / "good.json");
  EXPECT_EQ(job.document, u"Hello");
  EXPECT_EQ(job.folder, scratch->Root());
}

}  // namespace
