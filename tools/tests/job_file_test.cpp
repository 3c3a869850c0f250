#include "job_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <set>
#include <sstream>

#include "op_table.h"
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

// A slip in a name is an error naming the place and the nearest valid name, or listing the names when none is near.
TEST(JobFile, UnknownNamesAreErrorsThatOfferTheNearestValidName) {
  const struct {
    const char* job;
    const char* message;
  } cases[] = {
      {R"({"document": "A", "page": []})", "unknown key \"page\"; did you mean \"pages\"?"},
      {R"({"Settings": {}})", "unknown key \"Settings\"; did you mean \"settings\"?"},
      {R"({"format": 9})", "unknown key \"format\" (the keys are document, settings and pages)"},
      {R"({"pages": [ {"opz": []} ]})", "pages[0]: unknown field \"opz\"; did you mean \"ops\"?"},
      {R"({"pages": [ {}, {"ops": [ {"op": "rectangle"} ]} ]})",
       "pages[1].ops[0]: unknown op \"rectangle\"; did you mean \"rect\"?"},
      {R"({"pages": [ {"ops": [ {"op": "rect", "rect": [1, 2, 3, 4], "fill": "#000000", "colour": "#ff0000"} ]} ]})",
       "pages[0].ops[0] (rect): unknown field \"colour\" (its fields are rect, fill and rop)"},
      {R"({"pages": [ {"ops": [ {"op": "text", "at": [1, 2], "colour": "#ff0000", "text": "x",
                                 "font": {"file": "DejaVuSans.ttf", "size": 9}} ]} ]})",
       "pages[0].ops[0] (text): unknown field \"colour\"; did you mean \"color\"?"},
      {R"({"pages": [ {"ops": [ {"op": "text", "at": [1, 2], "text": "x",
                                 "font": {"file": "DejaVuSans.ttf", "sise": 9}} ]} ]})",
       "pages[0].ops[0] (text): \"font\": unknown field \"sise\"; did you mean \"size\"?"},
      {R"({"pages": [ {"ops": [ {"op": "line", "from": [1, 2], "to": [3, 4],
                                 "stroke": {"color": "#000000", "widht": 2}} ]} ]})",
       "pages[0].ops[0] (line): \"stroke\": unknown field \"widht\"; did you mean \"width\"?"},
      {R"({"pages": [ {"ops": [ {"op": "path", "d": "M 1 1 L 2 2",
                                 "fill": {"color": "#000000", "rules": "evenodd"}} ]} ]})",
       "pages[0].ops[0] (path): \"fill\": unknown field \"rules\"; did you mean \"rule\"?"},
      {R"({"pages": [ {"ops": [ {"op": "unclip", "rect": [1, 2, 3, 4]} ]} ]})",
       "pages[0].ops[0] (unclip): unknown field \"rect\""},
      // Values of an op's names, likewise.
      {R"({"pages": [ {"ops": [ {"op": "rect", "rect": [1, 2, 3, 4], "rop": "blacknes"} ]} ]})",
       "pages[0].ops[0] (rect): \"rop\": unknown value \"blacknes\"; did you mean \"blackness\"?"},
      {R"({"pages": [ {"ops": [ {"op": "line", "from": [1, 2], "to": [3, 4],
                                 "stroke": {"color": "#000000", "join": "sharp"}} ]} ]})",
       "\"join\": unknown value \"sharp\" (its values are round, bevel and miter)"},
  };
  for (const auto& c : cases) EXPECT_NE(ErrorOf(c.job).find(c.message), std::string::npos) << ErrorOf(c.job);
}

// Every op of the table reads a job that uses all of its declared fields: the declared fields are the read ones.
TEST(JobFile, EveryDeclaredFieldOfAnOpIsRead) {
  const ordered_json full = ordered_json::parse(R"({"pages": [ {"ops": [
      {"op": "text", "at": [1, 2], "font": {"file": "DejaVuSans.ttf", "size": 9, "face": "DejaVu Sans", "bold": true,
       "italic": false, "vertical": false}, "color": "#000000", "text": "x", "background": "#ffffff", "mix": "copypen",
       "angle": 30},
      {"op": "rect", "rect": [1, 2, 3, 4], "fill": "#000000", "rop": "patcopy"},
      {"op": "line", "from": [1, 2], "to": [3, 4], "mix": "copypen",
       "stroke": {"color": "#000000", "width": 2, "dash": [1, 2], "join": "miter", "cap": "butt", "miterLimit": 4}},
      {"op": "path", "d": "M 1 1 L 2 2", "stroke": "#000000", "fill": {"color": "#000000", "rule": "evenodd"},
       "mix": "copypen"},
      {"op": "clip", "d": "M 1 1 L 2 2 L 1 2 Z", "rule": "evenodd"},
      {"op": "unclip"} ]} ]})");
  const auto job = kqprint::ParseJob(full, "/jobs");
  ASSERT_EQ(job.pages.size(), 1u);
  std::set<std::string> seen;
  for (const auto& op : job.pages[0].ops) {
    seen.insert(op.op);
    std::set<std::string> used;
    for (const auto& [key, value] : op.fields.items())
      if (key != "op") used.insert(key);
    const kqprint::OpKind* kind = kqprint::FindOp(op.op);
    ASSERT_NE(kind, nullptr) << op.op;
    for (std::string_view field : kind->fields) {
      if (op.op == "clip" && field == "rect") continue;  // a clip has "rect" or "d"
      EXPECT_TRUE(used.count(std::string(field))) << op.op << "." << field;
    }
  }
  for (const kqprint::OpKind& kind : kqprint::AllOps()) EXPECT_TRUE(seen.count(std::string(kind.name))) << kind.name;
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
  const struct {
    std::filesystem::path file;
    const char* message;
  } unreadable[] = {
      {scratch->Root() / "missing.json", "missing.json: no such file"},
      {scratch->Root(), ": a folder, not a job file"},
  };
  for (const auto& c : unreadable) {
    try {
      kqprint::ReadJobFile(c.file);
      ADD_FAILURE() << c.file << ": no error";
    } catch (const kqprint::JobError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }

  std::ofstream(scratch->Root() / "good.json") << R"({"document": "Hello", "pages": [{}]})";
  const auto job = kqprint::ReadJobFile(scratch->Root() / "good.json");
  EXPECT_EQ(job.document, u"Hello");
  EXPECT_EQ(job.folder, scratch->Root());

  // A job read from a stream is named by its source.
  std::istringstream in(R"({"pages": [ {"ops": [ {"op": "rect"} ]} ]})");
  try {
    kqprint::ReadJob(in, "standard input", "/");
    FAIL() << "no error";
  } catch (const kqprint::JobError& e) {
    EXPECT_NE(std::string(e.what()).find("standard input: pages[0].ops[0] (rect): \"rect\" is missing"),
              std::string::npos)
        << e.what();
  }
}

}  // namespace
