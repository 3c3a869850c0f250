#include "job_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include <map>
#include <set>
#include <vector>
#include <sstream>

#include "draw_ops.h"
#include "job_files.h"
#include "op_table.h"
#include "win/machine.h"

namespace {

using nlohmann::ordered_json;

kqprint::PrintJob Parse(const char* text) { return kqprint::ParseJob(ordered_json::parse(text), "/jobs"); }

// The error of a job held whole; read as a stream it must be the same, after the source's name.
std::string ErrorOf(const char* text) {
  std::string whole = "(no error)", streamed = "(no error)";
  try {
    Parse(text);
  } catch (const kqprint::JobError& e) {
    whole = e.what();
  }
  try {
    std::istringstream in(text);
    kqprint::JobFiles files("/jobs");
    kqprint::StreamJob(in, "job.json", files, [](std::size_t, kqprint::JobPage&) { return true; });
  } catch (const kqprint::JobError& e) {
    streamed = e.what();
  }
  EXPECT_EQ("job.json: " + whole, streamed) << text;
  return whole;
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
      // A dot is drawn by a pen's caps: a cosmetic pen or butt caps would draw nothing.
      {R"({"pages": [ {"ops": [ {"op": "line", "from": [1, 2], "to": [3, 4],
                                 "stroke": {"color": "#000000", "dash": [0, 4]}} ]} ]})",
       "\"stroke\".dash: a length of 0 (a dot) needs a \"width\" and round or square caps"},
      {R"({"pages": [ {"ops": [ {"op": "line", "from": [1, 2], "to": [3, 4],
                                 "stroke": {"color": "#000000", "width": 2, "cap": "butt", "dash": [0, 4]}} ]} ]})",
       "a length of 0 (a dot) needs"},
      {R"({"pages": [ {"ops": [ {"op": "line", "from": [1, 2], "to": [3, 4],
                                 "stroke": {"color": "#000000", "width": 2, "dash": [0, 0]}} ]} ]})",
       "\"stroke\".dash: the lengths add up to 0"},
      {R"([1, 2])", "the job is not a JSON object"},
      {R"("job")", "the job is not a JSON object"},
      {R"({"pages": 3})", "pages: not an array"},
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
  // Fields that exclude each other ("rect" or "d", "file" or "fill", "rect" or "points") are spread over two ops of
  // one kind; together the ops of a kind use every field it declares.
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
      {"op": "clip", "rect": [1, 2, 3, 4]},
      {"op": "unclip"},
      {"op": "image", "file": "photo.png", "rect": [1, 2, 3, 4], "source": [0, 0, 8, 8], "rop": "srcinvert"},
      {"op": "gradient", "mode": "rect-h", "rect": [1, 2, 3, 4], "colors": ["#000000", "#ffffff"]},
      {"op": "gradient", "mode": "triangles", "points": [[1, 1], [2, 1], [1, 2]],
       "colors": ["#000000", "#ffffff", "#ff0000"]},
      {"op": "alpha", "file": "logo.png", "rect": [1, 2, 3, 4], "source": [0, 0, 8, 8], "opacity": 0.5},
      {"op": "alpha", "fill": "#ff0000", "rect": [1, 2, 3, 4]},
      {"op": "transparent", "file": "keyed.bmp", "rect": [1, 2, 3, 4], "source": [0, 0, 8, 8], "key": "#ff00ff"},
      {"op": "plg", "file": "photo.png", "points": [[1, 1], [3, 1], [1, 3]], "source": [0, 0, 8, 8]} ]} ]})");
  const auto job = kqprint::ParseJob(full, std::filesystem::path(KQ_SOURCE_DIR) / "examples");
  ASSERT_EQ(job.pages.size(), 1u);
  std::map<std::string, std::set<std::string>> used;
  for (const auto& op : job.pages[0].ops) {
    ASSERT_NE(kqprint::FindOp(op.op), nullptr) << op.op;
    for (const auto& [key, value] : op.fields.items())
      if (key != "op") used[op.op].insert(key);
  }
  for (const kqprint::OpKind& kind : kqprint::AllOps()) {
    ASSERT_TRUE(kind.name == "unclip" || used.count(std::string(kind.name))) << kind.name;
    for (std::string_view field : kind.fields)
      EXPECT_TRUE(used[std::string(kind.name)].count(std::string(field))) << kind.name << "." << field;
  }
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

// Read as a stream, each page reaches the sink as soon as it is read, before the next is parsed, and the head may
// follow the pages; a page that fails stops the reading after the pages before it were handed on.
TEST(JobFile, AStreamHandsOnOnePageAtATime) {
  std::istringstream in(R"({"pages": [ {"ops": [ {"op": "rect", "rect": [1, 2, 3, 4], "fill": "#000000"} ]},
      {}, {"ops": [ {"op": "unclip"}, {"op": "unclip"} ]} ],
      "settings": {"PaperSize": 9}, "document": "Late"})");
  kqprint::JobFiles files("/jobs");
  std::vector<std::size_t> ops;
  const auto head = kqprint::StreamJob(in, "job.json", files, [&](std::size_t index, kqprint::JobPage& page) {
    EXPECT_EQ(index, ops.size());
    ops.push_back(page.ops.size());
    return true;
  });
  EXPECT_EQ(ops, (std::vector<std::size_t>{1, 0, 2}));
  EXPECT_EQ(head.pageCount, 3u);
  EXPECT_EQ(head.document, u"Late");
  ASSERT_EQ(head.settings.size(), 1u);
  EXPECT_EQ(head.folder, "/jobs");

  std::istringstream bad(R"({"pages": [ {}, {}, {"ops": [ {"op": "warp"} ]}, {} ]})");
  std::size_t handed = 0;
  EXPECT_THROW(kqprint::StreamJob(bad, "job.json", files, [&](std::size_t, kqprint::JobPage&) { return ++handed > 0; }),
               kqprint::JobError);
  EXPECT_EQ(handed, 2u);

  // A sink that says stop ends the reading there, without an error for what follows.
  std::istringstream rest(R"({"pages": [ {}, {"ops": [ {"op": "warp"} ]} ]})");
  const auto stopped =
      kqprint::StreamJob(rest, "job.json", files, [](std::size_t, kqprint::JobPage&) { return false; });
  EXPECT_EQ(stopped.pageCount, 1u);

  // A key given twice would print its pages twice or take the wrong settings.
  std::istringstream twice(R"({"pages": [], "document": "A", "pages": [{}]})");
  EXPECT_THROW(
      try {
        kqprint::StreamJob(twice, "job.json", files, [](std::size_t, kqprint::JobPage&) { return true; });
      } catch (const kqprint::JobError& e) {
        EXPECT_NE(std::string(e.what()).find("job.json: pages: given twice"), std::string::npos) << e.what();
        throw;
      },
      kqprint::JobError);
}

// The pages checked are kept in compact form for printing, in memory while they fit and in a temporary file
// beyond. Wherever they are kept, every page reaches the sink once, in order, with its own ops, on every reading,
// each op as it was checked: an op made again from its compact form writes that form as the one checked did (a
// text op's style given again whenever the op before had another), and the job file is never read again.
TEST(JobFile, AJobStreamPrintsThePagesItCheckedFromWhereverItKeptThem) {
  kq::TemporaryMachine scratch;
  const auto file = scratch->Root() / "kept.json";
  const auto write = [&](const char* text) { std::ofstream(file, std::ios::trunc) << text; };
  const char* kJob = R"({"pages": [
      {"ops": [ {"op": "text", "at": [1, 2], "font": {"file": "DejaVuSans.ttf", "size": 9}, "text": "one"},
                {"op": "unclip"} ]},
      {"ops": [ {"op": "text", "at": [3.25, 4], "font": {"file": "DejaVuSans.ttf", "size": 9}, "text": "two"},
                {"op": "text", "at": [5, 6], "font": {"file": "DejaVuSans.ttf", "size": 11, "bold": true,
                 "italic": true, "vertical": true, "face": "DejaVu Sans"}, "color": "#102030",
                 "background": "#ffeedd", "mix": "xorpen", "angle": 30, "text": "th\u00e9\ud83d\ude00"} ]},
      {},
      {"ops": [ {"op": "clip", "rect": [1, 2, 3, 4]}, {"op": "unclip"}, {"op": "clip", "d": "M 1 2 L 3 4 Z",
                 "rule": "evenodd"}, {"op": "rect", "rect": [1, 2, 3, 4], "fill": "#010203", "rop": "patinvert"},
                {"op": "line", "from": [1, 2], "to": [3, 4], "stroke": {"color": "#040506", "width": 2,
                 "dash": [0, 3, 1.5], "join": "bevel", "cap": "square", "miterLimit": 4}, "mix": "notcopypen"},
                {"op": "path", "d": "M 1 2 C 3 4 5 6 7 8 L 9 10 11 12 Z M 0 0 L 1 1", "stroke": "#070809",
                 "fill": {"color": "#0a0b0c", "rule": "evenodd"}},
                {"op": "path", "d": "M 1 2 L 3 4", "fill": "#0d0e0f"},
                {"op": "text", "at": [7, 8], "font": {"file": "DejaVuSans.ttf", "size": 11, "bold": true,
                 "italic": true, "vertical": true, "face": "DejaVu Sans"}, "color": "#102030",
                 "background": "#ffeedd", "mix": "xorpen", "angle": 30, "text": ""} ]} ]})";
  write(kJob);
  // The compact form of each op as checked, each with a run of its own so that its style is written.
  std::vector<std::string> checked;
  {
    std::ifstream in(file);
    kqprint::JobFiles files(scratch->Root());
    kqprint::StreamJob(in, "kept.json", files, [&](std::size_t, kqprint::JobPage& page) {
      for (const auto& op : page.ops) {
        kqprint::CompactRun run;
        std::string bytes;
        checked.push_back(op.drawing->WriteCompact(bytes, run) ? bytes : op.op);
      }
      return true;
    });
  }
  ASSERT_EQ(checked.size(), 12u);
  for (std::size_t inMemory : {std::size_t{0}, std::size_t{1}, std::size_t{3}, SIZE_MAX}) {
    write(kJob);
    auto job = kqprint::JobStream::OpenFile(file, {kqprint::kHeldPagesBytes, inMemory});
    EXPECT_EQ(job.HeldPages(), std::min<std::size_t>(inMemory, 4));
    write(R"({"pages": [ {"ops": [ {"op": "warp"} ]} ]})");  // changed after the check: not read again
    for (int pass = 0; pass < 2; ++pass) {
      std::vector<std::size_t> indices, ops;
      std::vector<std::string> printed;
      job.Pages([&](std::size_t index, kqprint::JobPage& page) {
        indices.push_back(index);
        ops.push_back(page.ops.size());
        for (const auto& op : page.ops) {
          EXPECT_TRUE(op.fields.is_null()) << op.op;
          kqprint::CompactRun run;
          std::string bytes;
          printed.push_back(op.drawing->WriteCompact(bytes, run) ? bytes : op.op);
        }
        return true;
      });
      EXPECT_EQ(indices, (std::vector<std::size_t>{0, 1, 2, 3})) << inMemory;
      EXPECT_EQ(ops, (std::vector<std::size_t>{2, 2, 0, 8})) << inMemory;
      EXPECT_EQ(printed, checked) << inMemory;
    }
    // The sink may stop the printing.
    std::size_t handed = 0;
    job.Pages([&](std::size_t, kqprint::JobPage&) { return ++handed < 2; });
    EXPECT_EQ(handed, 2u);
  }
  // Nothing is kept in memory when nothing may be.
  write(kJob);
  EXPECT_EQ(kqprint::JobStream::OpenFile(file, {0, SIZE_MAX}).HeldPages(), 0u);

  // Pages that can be kept nowhere stop the job before it prints, naming the first such page.
  const char* tmp = std::getenv("TMPDIR");
  const std::string before = tmp ? tmp : "";
  setenv("TMPDIR", (scratch->Root() / "kept.json").c_str(), 1);  // a file, not a folder
  try {
    kqprint::JobStream::OpenFile(file, {kqprint::kHeldPagesBytes, 1});
    ADD_FAILURE() << "no error";
  } catch (const kqprint::JobError& e) {
    EXPECT_NE(std::string(e.what()).find("kept.json: pages[1]: the checked pages cannot be kept for printing"),
              std::string::npos)
        << e.what();
  }
  if (tmp)
    setenv("TMPDIR", before.c_str(), 1);
  else
    unsetenv("TMPDIR");
}

// An op reads the same whatever came before it: a run of text in one font is checked once, and an op whose font
// is written otherwise, however little, takes its own. A field given twice takes its last value.
TEST(JobFile, AnOpReadsTheSameWhateverTheOpsBeforeIt) {
  kq::TemporaryMachine scratch;
  const std::string ops[] = {
      R"({"op": "text", "at": [1, 2], "font": {"file": "DejaVuSans.ttf", "size": 9}, "text": "a"})",
      R"({"op": "text", "at": [1, 2], "font": {"file": "DejaVuSans.ttf", "size": 9, "bold": true}, "text": "b"})",
      R"({"op": "text", "at": [1, 2], "font": {"file": "DejaVuSans.ttf", "size": 9}, "text": "c"})",
      R"({"op": "text", "at": [1, 2], "font": {"size": 9, "file": "DejaVuSans.ttf"}, "angle": 90, "text": "d"})",
      R"({"op": "text", "at": [1, 2], "font": {"file": "DejaVuSans.ttf", "size": 12}, "text": "e"})",
      R"({"op": "text", "at": [1, 2], "font": {"file": "DejaVuSans.ttf", "size": 9, "italic": true},
          "text": "f", "at": [3, 4]})",
      R"({"op": "text", "at": [3, 4], "font": {"file": "DejaVuSans.ttf", "size": 9, "italic": true}, "text": "f"})",
  };
  // Each op's compact form with its style written.
  const auto read = [&](const std::string& written) {
    std::istringstream in(R"({"pages": [ {"ops": [)" + written + "]} ]}");
    kqprint::JobFiles files(scratch->Root());
    std::vector<std::string> forms;
    kqprint::StreamJob(in, "job.json", files, [&](std::size_t, kqprint::JobPage& given) {
      for (const auto& op : given.ops) {
        kqprint::CompactRun run;
        std::string bytes;
        EXPECT_TRUE(op.drawing->WriteCompact(bytes, run));
        forms.push_back(bytes);
      }
      return true;
    });
    return forms;
  };
  std::string page;
  std::vector<std::string> alone;
  for (const std::string& op : ops) {
    page += (page.empty() ? "" : ", ") + op;
    alone.push_back(read(op).at(0));
  }
  const std::vector<std::string> together = read(page);
  EXPECT_EQ(together, alone);
  const std::set<std::string> distinct(alone.begin(), alone.end() - 1);
  EXPECT_EQ(distinct.size(), std::size(ops) - 1) << "each op differs from the others";
  EXPECT_EQ(alone[5], alone[6]) << "the last \"at\" is taken";

  // A font that is wrong after one that is right is found wrong, in its place.
  EXPECT_NE(ErrorOf((R"({"pages": [ {"ops": [)" + ops[0] + "," + ops[0] +
                     R"(, {"op": "text", "at": [1, 2], "font": {"file": "NoSuch.ttf", "size": 9}, "text": "x"}]} ]})")
                        .c_str())
                .find("pages[0].ops[2] (text): \"font\".file: NoSuch.ttf is neither beside the job"),
            std::string::npos);
}

// A page's ops are read one at a time; a page names "ops" once, as the job names its keys once.
TEST(JobFile, APageGivesItsOpsOnce) {
  std::istringstream in(R"({"pages": [ {"ops": [ {"op": "unclip"} ], "ops": [ {"op": "unclip"} ]} ]})");
  kqprint::JobFiles files("/jobs");
  try {
    kqprint::StreamJob(in, "job.json", files, [](std::size_t, kqprint::JobPage&) { return true; });
    FAIL() << "no error";
  } catch (const kqprint::JobError& e) {
    EXPECT_NE(std::string(e.what()).find("job.json: pages[0].ops: given twice"), std::string::npos) << e.what();
  }
  EXPECT_NE(ErrorOf(R"({"pages": [ {"ops": [], "opz": []} ]})").find("pages[0]: unknown field \"opz\""),
            std::string::npos);
}

// Text ops with the same style share it; any difference, however small, gets a style of its own, or a line would
// be drawn in the font or colour of the line before.
TEST(JobFile, TextOpsShareOnlyTheSameStyle) {
  kqprint::JobFiles files("/jobs");
  kq::TextStyle base;
  base.font.file = "/fonts/a.ttf";
  const auto first = files.Style(base);
  EXPECT_EQ(files.Style(base), first);
  const std::function<void(kq::TextStyle&)> changes[] = {
      [](kq::TextStyle& s) { s.font.file = "/fonts/b.ttf"; },
      [](kq::TextStyle& s) { s.font.faceName = u"Bold"; },
      [](kq::TextStyle& s) { s.font.faceIndex = 1; },
      [](kq::TextStyle& s) { s.font.pointSize = 12.5; },
      [](kq::TextStyle& s) { s.font.dpi = 600; },
      [](kq::TextStyle& s) { s.font.weight = FW_BOLD; },
      [](kq::TextStyle& s) { s.font.italic = true; },
      [](kq::TextStyle& s) { s.font.vertical = true; },
      [](kq::TextStyle& s) { s.font.escapement = 90; },
      [](kq::TextStyle& s) { s.color = RGB(255, 0, 0); },
      [](kq::TextStyle& s) { s.background = RGB(0, 0, 0); },
      [](kq::TextStyle& s) { s.opaqueRect = RECTL{0, 0, 1, 1}; },
      [](kq::TextStyle& s) { s.glyphIndices = true; },
  };
  for (std::size_t i = 0; i < std::size(changes); ++i) {
    kq::TextStyle changed = base;
    changes[i](changed);
    EXPECT_NE(files.Style(changed), files.Style(base)) << i;
  }
}

// Standard input is kept in a temporary file so that it can be checked whole and then printed page by page.
TEST(JobFile, AJobStreamReadsItsInputTwice) {
  std::istringstream in(R"({"document": "Twice", "pages": [ {}, {"ops": [ {"op": "unclip"} ]} ]})");
  auto job = kqprint::JobStream::OpenInput(in, "standard input", "/jobs");
  EXPECT_EQ(job.Head().document, u"Twice");
  EXPECT_EQ(job.Head().pageCount, 2u);
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<std::size_t> ops;
    job.Pages([&](std::size_t, kqprint::JobPage& page) {
      ops.push_back(page.ops.size());
      return true;
    });
    EXPECT_EQ(ops, (std::vector<std::size_t>{0, 1}));
  }

  std::istringstream empty("");
  try {
    kqprint::JobStream::OpenInput(empty, "standard input", "/");
    FAIL() << "no error";
  } catch (const kqprint::JobError& e) {
    EXPECT_NE(std::string(e.what()).find("standard input: not JSON"), std::string::npos) << e.what();
  }
}

}  // namespace
