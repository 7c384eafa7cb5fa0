// Conversions between numbers and the texts of captions, messages and entry fields.
#pragma once

#include <cstdint>
#include <string>

namespace tessarel {

// A number as a message shows it: a blank in place of the sign when it is not negative.
std::string StrWithSign(int64_t value);
// The same for a computed value: whole numbers without a point, others with up to 15
// significant digits, very large or small ones as 1.5E+20.
std::string RealWithSign(double value);

// True when text is one or more decimal digits and nothing else, and no longer than most.
bool AllDigits(const std::string& text, size_t most = std::string::npos);

// The text with its letters A to Z in lower case, and whether two texts are the same but for
// that: how names are compared on media that show them in capitals (FAT, CDs).
std::string AsciiLower(std::string text);
bool SameIgnoringCase(const std::string& a, const std::string& b);

// A number as a caption or text field shows it: digits only, a minus when negative.
std::string PlainNumber(int64_t value);

// The decimal number a text starts with, 0 when it starts with none. Blanks, tabs and line
// feeds anywhere in the text are passed over ("1 400" reads as 1400).
double LeadingNumber(const std::string& text);

// A whole text as a 32-bit integer: blanks around it allowed, a fraction rounded to the nearest
// whole number with halves to the even one. No number at all is a type mismatch (13); a value
// outside 32 bits is an overflow (6).
int32_t TextToInt32(const std::string& text);
// The same for a length of 64 bits: what a header's ten digits can say, and more.
int64_t TextToLength(const std::string& text);

}  // namespace tessarel
