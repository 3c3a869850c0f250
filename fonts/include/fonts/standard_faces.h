// The twelve standard Windows faces (Arial, Times New Roman and Courier New in their four styles) and the PDF
// standard 14 fonts that stand in for them.
#pragma once

// True when `faceName` is one of the twelve faces, compared without regard to ASCII case. A null name is not.
bool IsStandardFace(const char* faceName);

// The standard-14 base name of the face ("arial bold" gives "Helvetica-Bold"); an empty string for a face that
// `IsStandardFace` does not accept.
const char* StandardFaceBaseName(const char* faceName);
