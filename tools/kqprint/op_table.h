// The drawing ops a job may use, one table: each op's name, the fields it takes besides "op", and its reader. The
// reader of a job looks ops up here and refuses a field an op does not declare, so an op declares its fields once,
// beside the code that reads them. A family of ops lives in a file of its own (reading its fields with op_fields.h),
// gives its entries as `std::span<const OpKind> <Family>Ops()` declared below, and joins the table in op_table.cpp.
#pragma once

#include <memory>
#include <span>
#include <string_view>
#include <type_traits>
#include <vector>

#include <nlohmann/json.hpp>

#include "job_files.h"

namespace kqprint {

class DrawOp;

struct OpKind {
  std::string_view name;
  std::span<const std::string_view> fields;  // besides "op"
  // Reads the op's fields (already checked against `fields`); the files it names come from the job's `files`.
  // Throws JobError naming what is wrong (the caller adds the op's place).
  std::unique_ptr<DrawOp> (*read)(const nlohmann::ordered_json& op, JobFiles& files);
};

// The reader of an op class that is constructed from the op's fields, and from the job's files when it takes them.
template <class Op>
std::unique_ptr<DrawOp> ReadOp(const nlohmann::ordered_json& op, JobFiles& files) {
  if constexpr (std::is_constructible_v<Op, const nlohmann::ordered_json&, JobFiles&>)
    return std::make_unique<Op>(op, files);
  else if constexpr (std::is_constructible_v<Op, const nlohmann::ordered_json&>)
    return std::make_unique<Op>(op);
  else
    return std::make_unique<Op>();
}

// Every op the tool knows, in the order the help lists them.
std::span<const OpKind> AllOps();
// The op named `name`, or null.
const OpKind* FindOp(std::string_view name);

// The families (each in its own file).
std::span<const OpKind> VectorOps();  // text, rect, line, path, clip, unclip (draw_ops.cpp)
std::span<const OpKind> ImageOps();   // image, gradient, alpha, transparent, plg (image_ops.cpp)

}  // namespace kqprint
