#pragma once
// The look-up states a row of the ISBN queue shows.
inline constexpr const char* kHledam = "hledám";
inline constexpr const char* kNalezeno = "nalezeno";
inline constexpr const char* kNenalezeno = "nenalezeno";
inline constexpr const char* kChybaSite = "chyba sítě";
inline constexpr const char* kChyba = "chyba";
