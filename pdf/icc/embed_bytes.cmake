# Writes a C++ source that defines a function returning a file's bytes.
#   cmake -DINPUT=file -DOUTPUT=out.cpp -DHEADER=name.h -DFUNCTION=kq::Name -P embed_bytes.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
if(digits EQUAL 0)
  message(FATAL_ERROR "${INPUT} is empty")
endif()
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REPEAT "0x[0-9a-f][0-9a-f]," 16 row)
string(REGEX REPLACE "(${row})" "\\1\n  " bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT}; do not edit.\n"
  "#include \"${HEADER}\"\n\n"
  "namespace {\n"
  "constexpr std::uint8_t kBytes[] = {\n  ${bytes}\n};\n"
  "}  // namespace\n\n"
  "std::span<const std::uint8_t> ${FUNCTION}() { return kBytes; }\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
