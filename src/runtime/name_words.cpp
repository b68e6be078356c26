// The words a name is found by (see name_words.hpp).
#include "runtime/name_words.hpp"

#include <algorithm>
#include <array>

namespace tarnwick::runtime {
namespace {

// Latin letters with accents, strokes and ligatures, upper and lower case,
// with the plain letters a person types for them. Sorted by code point.
constexpr LetterFold kLetterFolds[] = {
    {0x00C0, "a"}, {0x00C1, "a"}, {0x00C2, "a"}, {0x00C3, "a"}, {0x00C4, "a"}, {0x00C5, "a"}, {0x00C6, "ae"},
    {0x00C7, "c"}, {0x00C8, "e"}, {0x00C9, "e"}, {0x00CA, "e"}, {0x00CB, "e"}, {0x00CC, "i"}, {0x00CD, "i"},
    {0x00CE, "i"}, {0x00CF, "i"}, {0x00D0, "d"}, {0x00D1, "n"}, {0x00D2, "o"}, {0x00D3, "o"}, {0x00D4, "o"},
    {0x00D5, "o"}, {0x00D6, "o"}, {0x00D8, "o"}, {0x00D9, "u"}, {0x00DA, "u"}, {0x00DB, "u"}, {0x00DC, "u"},
    {0x00DD, "y"}, {0x00DE, "th"}, {0x00DF, "ss"}, {0x00E0, "a"}, {0x00E1, "a"}, {0x00E2, "a"}, {0x00E3, "a"},
    {0x00E4, "a"}, {0x00E5, "a"}, {0x00E6, "ae"}, {0x00E7, "c"}, {0x00E8, "e"}, {0x00E9, "e"}, {0x00EA, "e"},
    {0x00EB, "e"}, {0x00EC, "i"}, {0x00ED, "i"}, {0x00EE, "i"}, {0x00EF, "i"}, {0x00F0, "d"}, {0x00F1, "n"},
    {0x00F2, "o"}, {0x00F3, "o"}, {0x00F4, "o"}, {0x00F5, "o"}, {0x00F6, "o"}, {0x00F8, "o"}, {0x00F9, "u"},
    {0x00FA, "u"}, {0x00FB, "u"}, {0x00FC, "u"}, {0x00FD, "y"}, {0x00FE, "th"}, {0x00FF, "y"}, {0x0100, "a"},
    {0x0101, "a"}, {0x0102, "a"}, {0x0103, "a"}, {0x0104, "a"}, {0x0105, "a"}, {0x0106, "c"}, {0x0107, "c"},
    {0x0108, "c"}, {0x0109, "c"}, {0x010A, "c"}, {0x010B, "c"}, {0x010C, "c"}, {0x010D, "c"}, {0x010E, "d"},
    {0x010F, "d"}, {0x0110, "d"}, {0x0111, "d"}, {0x0112, "e"}, {0x0113, "e"}, {0x0114, "e"}, {0x0115, "e"},
    {0x0116, "e"}, {0x0117, "e"}, {0x0118, "e"}, {0x0119, "e"}, {0x011A, "e"}, {0x011B, "e"}, {0x011C, "g"},
    {0x011D, "g"}, {0x011E, "g"}, {0x011F, "g"}, {0x0120, "g"}, {0x0121, "g"}, {0x0122, "g"}, {0x0123, "g"},
    {0x0124, "h"}, {0x0125, "h"}, {0x0126, "h"}, {0x0127, "h"}, {0x0128, "i"}, {0x0129, "i"}, {0x012A, "i"},
    {0x012B, "i"}, {0x012C, "i"}, {0x012D, "i"}, {0x012E, "i"}, {0x012F, "i"}, {0x0130, "i"}, {0x0131, "i"},
    {0x0132, "ij"}, {0x0133, "ij"}, {0x0134, "j"}, {0x0135, "j"}, {0x0136, "k"}, {0x0137, "k"}, {0x0138, "k"},
    {0x0139, "l"}, {0x013A, "l"}, {0x013B, "l"}, {0x013C, "l"}, {0x013D, "l"}, {0x013E, "l"}, {0x013F, "l"},
    {0x0140, "l"}, {0x0141, "l"}, {0x0142, "l"}, {0x0143, "n"}, {0x0144, "n"}, {0x0145, "n"}, {0x0146, "n"},
    {0x0147, "n"}, {0x0148, "n"}, {0x0149, "n"}, {0x014A, "n"}, {0x014B, "n"}, {0x014C, "o"}, {0x014D, "o"},
    {0x014E, "o"}, {0x014F, "o"}, {0x0150, "o"}, {0x0151, "o"}, {0x0152, "oe"}, {0x0153, "oe"}, {0x0154, "r"},
    {0x0155, "r"}, {0x0156, "r"}, {0x0157, "r"}, {0x0158, "r"}, {0x0159, "r"}, {0x015A, "s"}, {0x015B, "s"},
    {0x015C, "s"}, {0x015D, "s"}, {0x015E, "s"}, {0x015F, "s"}, {0x0160, "s"}, {0x0161, "s"}, {0x0162, "t"},
    {0x0163, "t"}, {0x0164, "t"}, {0x0165, "t"}, {0x0166, "t"}, {0x0167, "t"}, {0x0168, "u"}, {0x0169, "u"},
    {0x016A, "u"}, {0x016B, "u"}, {0x016C, "u"}, {0x016D, "u"}, {0x016E, "u"}, {0x016F, "u"}, {0x0170, "u"},
    {0x0171, "u"}, {0x0172, "u"}, {0x0173, "u"}, {0x0174, "w"}, {0x0175, "w"}, {0x0176, "y"}, {0x0177, "y"},
    {0x0178, "y"}, {0x0179, "z"}, {0x017A, "z"}, {0x017B, "z"}, {0x017C, "z"}, {0x017D, "z"}, {0x017E, "z"},
    {0x017F, "s"}, {0x0180, "b"}, {0x0181, "b"}, {0x0187, "c"}, {0x0188, "c"}, {0x018A, "d"}, {0x0191, "f"},
    {0x0192, "f"}, {0x0193, "g"}, {0x0197, "i"}, {0x0198, "k"}, {0x0199, "k"}, {0x019A, "l"}, {0x019D, "n"},
    {0x019E, "n"}, {0x01A0, "o"}, {0x01A1, "o"}, {0x01A4, "p"}, {0x01A5, "p"}, {0x01AB, "t"}, {0x01AC, "t"},
    {0x01AD, "t"}, {0x01AE, "t"}, {0x01AF, "u"}, {0x01B0, "u"}, {0x01B3, "y"}, {0x01B4, "y"}, {0x01B5, "z"},
    {0x01B6, "z"}, {0x01C4, "dz"}, {0x01C5, "dz"}, {0x01C6, "dz"}, {0x01C7, "lj"}, {0x01C8, "lj"}, {0x01C9, "lj"},
    {0x01CA, "nj"}, {0x01CB, "nj"}, {0x01CC, "nj"}, {0x01CD, "a"}, {0x01CE, "a"}, {0x01CF, "i"}, {0x01D0, "i"},
    {0x01D1, "o"}, {0x01D2, "o"}, {0x01D3, "u"}, {0x01D4, "u"}, {0x01D5, "u"}, {0x01D6, "u"}, {0x01D7, "u"},
    {0x01D8, "u"}, {0x01D9, "u"}, {0x01DA, "u"}, {0x01DB, "u"}, {0x01DC, "u"}, {0x01DE, "a"}, {0x01DF, "a"},
    {0x01E0, "a"}, {0x01E1, "a"}, {0x01E6, "g"}, {0x01E7, "g"}, {0x01E8, "k"}, {0x01E9, "k"}, {0x01EA, "o"},
    {0x01EB, "o"}, {0x01EC, "o"}, {0x01ED, "o"}, {0x01F0, "j"}, {0x01F1, "dz"}, {0x01F2, "dz"}, {0x01F3, "dz"},
    {0x01F4, "g"}, {0x01F5, "g"}, {0x01F8, "n"}, {0x01F9, "n"}, {0x01FA, "a"}, {0x01FB, "a"}, {0x0200, "a"},
    {0x0201, "a"}, {0x0202, "a"}, {0x0203, "a"}, {0x0204, "e"}, {0x0205, "e"}, {0x0206, "e"}, {0x0207, "e"},
    {0x0208, "i"}, {0x0209, "i"}, {0x020A, "i"}, {0x020B, "i"}, {0x020C, "o"}, {0x020D, "o"}, {0x020E, "o"},
    {0x020F, "o"}, {0x0210, "r"}, {0x0211, "r"}, {0x0212, "r"}, {0x0213, "r"}, {0x0214, "u"}, {0x0215, "u"},
    {0x0216, "u"}, {0x0217, "u"}, {0x0218, "s"}, {0x0219, "s"}, {0x021A, "t"}, {0x021B, "t"}, {0x021E, "h"},
    {0x021F, "h"}, {0x0224, "z"}, {0x0225, "z"}, {0x0226, "a"}, {0x0227, "a"}, {0x0228, "e"}, {0x0229, "e"},
    {0x022A, "o"}, {0x022B, "o"}, {0x022C, "o"}, {0x022D, "o"}, {0x022E, "o"}, {0x022F, "o"}, {0x0230, "o"},
    {0x0231, "o"}, {0x0232, "y"}, {0x0233, "y"}, {0x023A, "a"}, {0x023B, "c"}, {0x023C, "c"}, {0x023D, "l"},
    {0x023E, "t"}, {0x023F, "s"}, {0x0240, "z"}, {0x0243, "b"}, {0x0246, "e"}, {0x0247, "e"}, {0x0248, "j"},
    {0x0249, "j"}, {0x024C, "r"}, {0x024D, "r"}, {0x024E, "y"}, {0x024F, "y"}, {0x1E00, "a"}, {0x1E01, "a"},
    {0x1E02, "b"}, {0x1E03, "b"}, {0x1E04, "b"}, {0x1E05, "b"}, {0x1E06, "b"}, {0x1E07, "b"}, {0x1E08, "c"},
    {0x1E09, "c"}, {0x1E0A, "d"}, {0x1E0B, "d"}, {0x1E0C, "d"}, {0x1E0D, "d"}, {0x1E0E, "d"}, {0x1E0F, "d"},
    {0x1E10, "d"}, {0x1E11, "d"}, {0x1E12, "d"}, {0x1E13, "d"}, {0x1E14, "e"}, {0x1E15, "e"}, {0x1E16, "e"},
    {0x1E17, "e"}, {0x1E18, "e"}, {0x1E19, "e"}, {0x1E1A, "e"}, {0x1E1B, "e"}, {0x1E1C, "e"}, {0x1E1D, "e"},
    {0x1E1E, "f"}, {0x1E1F, "f"}, {0x1E20, "g"}, {0x1E21, "g"}, {0x1E22, "h"}, {0x1E23, "h"}, {0x1E24, "h"},
    {0x1E25, "h"}, {0x1E26, "h"}, {0x1E27, "h"}, {0x1E28, "h"}, {0x1E29, "h"}, {0x1E2A, "h"}, {0x1E2B, "h"},
    {0x1E2C, "i"}, {0x1E2D, "i"}, {0x1E2E, "i"}, {0x1E2F, "i"}, {0x1E30, "k"}, {0x1E31, "k"}, {0x1E32, "k"},
    {0x1E33, "k"}, {0x1E34, "k"}, {0x1E35, "k"}, {0x1E36, "l"}, {0x1E37, "l"}, {0x1E38, "l"}, {0x1E39, "l"},
    {0x1E3A, "l"}, {0x1E3B, "l"}, {0x1E3C, "l"}, {0x1E3D, "l"}, {0x1E3E, "m"}, {0x1E3F, "m"}, {0x1E40, "m"},
    {0x1E41, "m"}, {0x1E42, "m"}, {0x1E43, "m"}, {0x1E44, "n"}, {0x1E45, "n"}, {0x1E46, "n"}, {0x1E47, "n"},
    {0x1E48, "n"}, {0x1E49, "n"}, {0x1E4A, "n"}, {0x1E4B, "n"}, {0x1E4C, "o"}, {0x1E4D, "o"}, {0x1E4E, "o"},
    {0x1E4F, "o"}, {0x1E50, "o"}, {0x1E51, "o"}, {0x1E52, "o"}, {0x1E53, "o"}, {0x1E54, "p"}, {0x1E55, "p"},
    {0x1E56, "p"}, {0x1E57, "p"}, {0x1E58, "r"}, {0x1E59, "r"}, {0x1E5A, "r"}, {0x1E5B, "r"}, {0x1E5C, "r"},
    {0x1E5D, "r"}, {0x1E5E, "r"}, {0x1E5F, "r"}, {0x1E60, "s"}, {0x1E61, "s"}, {0x1E62, "s"}, {0x1E63, "s"},
    {0x1E64, "s"}, {0x1E65, "s"}, {0x1E66, "s"}, {0x1E67, "s"}, {0x1E68, "s"}, {0x1E69, "s"}, {0x1E6A, "t"},
    {0x1E6B, "t"}, {0x1E6C, "t"}, {0x1E6D, "t"}, {0x1E6E, "t"}, {0x1E6F, "t"}, {0x1E70, "t"}, {0x1E71, "t"},
    {0x1E72, "u"}, {0x1E73, "u"}, {0x1E74, "u"}, {0x1E75, "u"}, {0x1E76, "u"}, {0x1E77, "u"}, {0x1E78, "u"},
    {0x1E79, "u"}, {0x1E7A, "u"}, {0x1E7B, "u"}, {0x1E7C, "v"}, {0x1E7D, "v"}, {0x1E7E, "v"}, {0x1E7F, "v"},
    {0x1E80, "w"}, {0x1E81, "w"}, {0x1E82, "w"}, {0x1E83, "w"}, {0x1E84, "w"}, {0x1E85, "w"}, {0x1E86, "w"},
    {0x1E87, "w"}, {0x1E88, "w"}, {0x1E89, "w"}, {0x1E8A, "x"}, {0x1E8B, "x"}, {0x1E8C, "x"}, {0x1E8D, "x"},
    {0x1E8E, "y"}, {0x1E8F, "y"}, {0x1E90, "z"}, {0x1E91, "z"}, {0x1E92, "z"}, {0x1E93, "z"}, {0x1E94, "z"},
    {0x1E95, "z"}, {0x1E96, "h"}, {0x1E97, "t"}, {0x1E98, "w"}, {0x1E99, "y"}, {0x1E9E, "ss"}, {0x1EA0, "a"},
    {0x1EA1, "a"}, {0x1EA2, "a"}, {0x1EA3, "a"}, {0x1EA4, "a"}, {0x1EA5, "a"}, {0x1EA6, "a"}, {0x1EA7, "a"},
    {0x1EA8, "a"}, {0x1EA9, "a"}, {0x1EAA, "a"}, {0x1EAB, "a"}, {0x1EAC, "a"}, {0x1EAD, "a"}, {0x1EAE, "a"},
    {0x1EAF, "a"}, {0x1EB0, "a"}, {0x1EB1, "a"}, {0x1EB2, "a"}, {0x1EB3, "a"}, {0x1EB4, "a"}, {0x1EB5, "a"},
    {0x1EB6, "a"}, {0x1EB7, "a"}, {0x1EB8, "e"}, {0x1EB9, "e"}, {0x1EBA, "e"}, {0x1EBB, "e"}, {0x1EBC, "e"},
    {0x1EBD, "e"}, {0x1EBE, "e"}, {0x1EBF, "e"}, {0x1EC0, "e"}, {0x1EC1, "e"}, {0x1EC2, "e"}, {0x1EC3, "e"},
    {0x1EC4, "e"}, {0x1EC5, "e"}, {0x1EC6, "e"}, {0x1EC7, "e"}, {0x1EC8, "i"}, {0x1EC9, "i"}, {0x1ECA, "i"},
    {0x1ECB, "i"}, {0x1ECC, "o"}, {0x1ECD, "o"}, {0x1ECE, "o"}, {0x1ECF, "o"}, {0x1ED0, "o"}, {0x1ED1, "o"},
    {0x1ED2, "o"}, {0x1ED3, "o"}, {0x1ED4, "o"}, {0x1ED5, "o"}, {0x1ED6, "o"}, {0x1ED7, "o"}, {0x1ED8, "o"},
    {0x1ED9, "o"}, {0x1EDA, "o"}, {0x1EDB, "o"}, {0x1EDC, "o"}, {0x1EDD, "o"}, {0x1EDE, "o"}, {0x1EDF, "o"},
    {0x1EE0, "o"}, {0x1EE1, "o"}, {0x1EE2, "o"}, {0x1EE3, "o"}, {0x1EE4, "u"}, {0x1EE5, "u"}, {0x1EE6, "u"},
    {0x1EE7, "u"}, {0x1EE8, "u"}, {0x1EE9, "u"}, {0x1EEA, "u"}, {0x1EEB, "u"}, {0x1EEC, "u"}, {0x1EED, "u"},
    {0x1EEE, "u"}, {0x1EEF, "u"}, {0x1EF0, "u"}, {0x1EF1, "u"}, {0x1EF2, "y"}, {0x1EF3, "y"}, {0x1EF4, "y"},
    {0x1EF5, "y"}, {0x1EF6, "y"}, {0x1EF7, "y"}, {0x1EF8, "y"}, {0x1EF9, "y"},
};

// Signs and spaces outside ASCII that stand between words: the Latin-1 signs
// (no-break space to inverted question mark, times, divide), the general
// punctuation (dashes, quotes, bullets, thin spaces) and the ideographic
// space and byte-order mark.
constexpr BlankRange kBlankRanges[] = {
    {0x0080, 0x00BF}, {0x00D7, 0x00D7}, {0x00F7, 0x00F7}, {0x2000, 0x2017},
    {0x201A, 0x206F}, {0x3000, 0x3000}, {0xFEFF, 0xFEFF},
};

// U+2018 and U+2019 are the typographer's apostrophes; they lie between the
// blank ranges above on purpose.
constexpr char32_t kApostrophes[] = {U'\'', U'`', 0x2018, 0x2019, 0x02BC};

constexpr bool SortedFolds() {
  for (std::size_t i = 1; i < std::size(kLetterFolds); ++i)
    if (kLetterFolds[i - 1].letter >= kLetterFolds[i].letter) return false;
  return true;
}
static_assert(SortedFolds(), "kLetterFolds is searched by halves");

// The next code point of text at pos, moving pos past it; 0xFFFD for a byte
// that starts no well-formed UTF-8 sequence (one byte is skipped).
char32_t NextCodePoint(std::string_view text, std::size_t& pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  std::size_t length = 0;
  char32_t cp = 0;
  char32_t least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, cp = lead & 0x1Fu, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, cp = lead & 0x0Fu, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, cp = lead & 0x07u, least = 0x10000;
  }
  if (length == 0 || pos + length > text.size()) {
    ++pos;
    return 0xFFFD;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(pos + i) & 0xC0u) != 0x80) {
      ++pos;
      return 0xFFFD;
    }
    cp = (cp << 6) | (byte(pos + i) & 0x3Fu);
  }
  if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++pos;
    return 0xFFFD;
  }
  pos += length;
  return cp;
}

bool IsBlank(char32_t cp) {
  if (cp < 0x80) return !((cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') || (cp >= '0' && cp <= '9'));
  if (cp == 0xFFFD) return true;
  return std::any_of(std::begin(kBlankRanges), std::end(kBlankRanges),
                     [cp](const BlankRange& r) { return cp >= r.first && cp <= r.last; });
}

bool IsApostrophe(char32_t cp) { return std::find(std::begin(kApostrophes), std::end(kApostrophes), cp) != std::end(kApostrophes); }

const char* Folded(char32_t cp) {
  const auto* end = std::end(kLetterFolds);
  const auto* it = std::lower_bound(std::begin(kLetterFolds), end, cp,
                                    [](const LetterFold& f, char32_t c) { return f.letter < c; });
  return it != end && it->letter == cp ? it->ascii : nullptr;
}

}  // namespace

std::string NameWords(std::string_view text, NameWordsUse use) {
  std::string out;
  std::string joined;  // the word so far, apostrophes left out
  std::string part;    // the part since the last apostrophe
  std::string parts;   // the parts, for an index, each after a blank
  int partCount = 0;
  const auto endPart = [&] {
    if (!part.empty()) {
      parts.append(" ").append(part);
      ++partCount;
      part.clear();
    }
  };
  const auto endWord = [&] {
    endPart();
    if (!joined.empty()) {
      if (!out.empty()) out += ' ';
      out += joined;
      if (use == NameWordsUse::Index && partCount > 1) out += parts;
    }
    joined.clear();
    parts.clear();
    partCount = 0;
  };
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t start = pos;
    const char32_t cp = NextCodePoint(text, pos);
    if (IsApostrophe(cp)) {
      endPart();
    } else if (IsBlank(cp)) {
      endWord();
    } else if (cp < 0x80) {
      const char c = static_cast<char>(cp >= 'A' && cp <= 'Z' ? cp + ('a' - 'A') : cp);
      joined += c;
      part += c;
    } else if (const char* ascii = Folded(cp)) {
      joined += ascii;
      part += ascii;
    } else {
      joined.append(text.substr(start, pos - start));
      part.append(text.substr(start, pos - start));
    }
  }
  endWord();
  return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::span<const LetterFold> LetterFolds() { return kLetterFolds; }
std::span<const BlankRange> BlankRanges() { return kBlankRanges; }
std::span<const char32_t> Apostrophes() { return kApostrophes; }

}  // namespace tarnwick::runtime
