// Names a job file may use are checked strictly: a name the tool does not know is an error that offers the nearest
// known name, or lists the known ones when none is near.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace kqprint {

// The known name nearest to `name` (fewest one-character edits, ASCII case ignored) when it is near enough to be a
// slip of the keyboard, else a known name that begins the same way as a whole or cut-short word; empty otherwise.
std::string NearestName(std::string_view name, std::span<const std::string_view> known);

// What to add to an error about the unknown `name`: "; did you mean "x"?" when a known name is near, else
// " (<what> are a, b and c)", or nothing when `what` is empty.
std::string Hint(std::string_view name, std::span<const std::string_view> known, std::string_view what);

// Every key of `object` must be one of `known`; throws JobError "<where>: unknown field "k"..." otherwise. `where`
// names the object's place and may be empty.
void CheckFields(const nlohmann::ordered_json& object, std::span<const std::string_view> known,
                 const std::string& where);

}  // namespace kqprint
