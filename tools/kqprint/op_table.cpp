#include "op_table.h"

namespace kqprint {

std::span<const OpKind> AllOps() {
  static const std::vector<OpKind> ops = [] {
    std::vector<OpKind> all;
    for (auto family : {VectorOps(), ImageOps()}) all.insert(all.end(), family.begin(), family.end());
    return all;
  }();
  return ops;
}

const OpKind* FindOp(std::string_view name) {
  for (const OpKind& kind : AllOps())
    if (kind.name == name) return &kind;
  return nullptr;
}

}  // namespace kqprint
