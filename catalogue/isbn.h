#pragma once
// ISBN-10 and ISBN-13: validation by check digit and the one form the
// catalogue stores. Plain bytes in, plain ASCII out; no code page involved.
//
// Stored form (what `udaj1` holds): the ISBN-13 as its 13 digits, without
// hyphens or blanks, e.g. "9788020412345". An ISBN-10 is stored as the
// ISBN-13 it stands for ("978" + its first nine digits + a new check digit).
#include <optional>
#include <string>
#include <string_view>

namespace isbn {

// Why a text is not an ISBN, for the note beside the field.
enum class Fault {
    None,        // a valid ISBN-10 or ISBN-13
    Empty,       // nothing but separators
    Character,   // a character other than digits, hyphens, blanks, or X as the last of ten
    Length,      // neither 10 nor 13 digits
    CheckDigit,  // the right length, the wrong check digit
    Prefix,      // 13 digits not starting 978 or 979
};

// Checks `text` as typed or scanned: hyphens and blanks (space, tab) anywhere
// are ignored, and the last character of an ISBN-10 may be X or x.
Fault Check(std::string_view text);

// The stored form of `text` (see above), or nothing when `text` is not a valid ISBN.
std::optional<std::string> Normalize(std::string_view text);

// The text a scanner or a user gave, trimmed to the ISBN in it: an "ISBN",
// "ISBN-13" or "ISBN:" prefix goes, and so does an EAN add-on (2 or 5 digits
// of a price code read after a valid ISBN-13). Anything else is returned as
// it came, for Check to say what is wrong with it.
std::string FromScan(std::string_view text);

// The ISBN-10 form (ten characters, the last maybe 'X') of a stored form
// beginning 978; nothing for 979 or invalid input. Used to look a book up
// under both numbers, as older records carry only the ISBN-10.
std::optional<std::string> To10(std::string_view text);

// The stored form of the first ISBN in free text such as a MARC 020 $a
// ("80-204-0123-4 (váz.)") or an exported field ("ISBN 978-80-...; brož."),
// or nothing when the text holds none. A run of digits, hyphens and blanks
// (with a trailing X) is taken as a candidate; the first valid one wins.
std::optional<std::string> Find(std::string_view text);

// Whether a stored `udaj1` value counts as an ISBN of ours: empty or not,
// only such a text (or an empty one) may be overwritten with an ISBN.
inline bool HoldsIsbn(std::string_view udaj1) { return Normalize(udaj1).has_value(); }

}  // namespace isbn
