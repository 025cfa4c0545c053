//===- tools/dis/json.cpp - A small JSON reader ---------------------------===//

#include "tools/dis/json.h"

#include <cstdlib>

namespace {

class CJsonParser {
public:
  explicit CJsonParser(std::string_view text) : m_Text(text) {}

  bool Document(CJson &out, std::string &error) {
    SkipBlanks();
    if (!Value(out, 0)) {
      error = m_Error;
      return false;
    }
    SkipBlanks();
    if (m_Pos != m_Text.size()) {
      Fail("text after the document");
      error = m_Error;
      return false;
    }
    return true;
  }

private:
  bool Fail(const char *what) {
    if (m_Error.empty()) {
      std::size_t line = 1;
      for (std::size_t i = 0; i < m_Pos && i < m_Text.size(); ++i)
        line += m_Text[i] == '\n' ? 1 : 0;
      m_Error = "line " + std::to_string(line) + ": " + what;
    }
    return false;
  }

  void SkipBlanks() {
    while (m_Pos < m_Text.size() && (m_Text[m_Pos] == ' ' || m_Text[m_Pos] == '\t' ||
                                     m_Text[m_Pos] == '\n' || m_Text[m_Pos] == '\r'))
      ++m_Pos;
  }

  bool Take(char c) {
    SkipBlanks();
    if (m_Pos < m_Text.size() && m_Text[m_Pos] == c) {
      ++m_Pos;
      return true;
    }
    return false;
  }

  bool Word(std::string_view word) {
    if (m_Text.substr(m_Pos, word.size()) != word)
      return false;
    m_Pos += word.size();
    return true;
  }

  bool Value(CJson &out, int depth) {
    SkipBlanks();
    if (m_Pos >= m_Text.size())
      return Fail("a value expected");
    char c = m_Text[m_Pos];
    if (c == '{' || c == '[') {
      if (depth >= kMaxJsonDepth)
        return Fail("nested too deeply");
      return c == '{' ? Object(out, depth + 1) : Array(out, depth + 1);
    }
    if (c == '"') {
      out.type = CJson::Type::String;
      return String(out.text);
    }
    if (Word("true") || Word("false")) {
      out.type = CJson::Type::Bool;
      out.boolean = c == 't';
      return true;
    }
    if (Word("null")) {
      out.type = CJson::Type::Null;
      return true;
    }
    return Number(out);
  }

  bool Object(CJson &out, int depth) {
    out.type = CJson::Type::Object;
    ++m_Pos;
    if (Take('}'))
      return true;
    do {
      SkipBlanks();
      CJsonMember member;
      if (m_Pos >= m_Text.size() || m_Text[m_Pos] != '"' || !String(member.name))
        return Fail("a member name expected");
      if (!Take(':'))
        return Fail("\":\" expected");
      if (!Value(member.value, depth))
        return false;
      out.members.push_back(std::move(member));
    } while (Take(','));
    return Take('}') || Fail("\",\" or \"}\" expected");
  }

  bool Array(CJson &out, int depth) {
    out.type = CJson::Type::Array;
    ++m_Pos;
    if (Take(']'))
      return true;
    do {
      out.items.emplace_back();
      if (!Value(out.items.back(), depth))
        return false;
    } while (Take(','));
    return Take(']') || Fail("\",\" or \"]\" expected");
  }

  bool Hex4(std::uint32_t &value) {
    if (m_Pos + 4 > m_Text.size())
      return false;
    value = 0;
    for (int i = 0; i < 4; ++i) {
      char c = m_Text[m_Pos++];
      int digit = c >= '0' && c <= '9'   ? c - '0'
                  : c >= 'a' && c <= 'f' ? c - 'a' + 10
                  : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                         : -1;
      if (digit < 0)
        return false;
      value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return true;
  }

  static void AppendUtf8(std::string &out, std::uint32_t code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  bool String(std::string &out) {
    ++m_Pos;
    out.clear();
    while (m_Pos < m_Text.size()) {
      char c = m_Text[m_Pos++];
      if (c == '"')
        return true;
      if (static_cast<unsigned char>(c) < 0x20)
        return Fail("a control character in a string");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (m_Pos >= m_Text.size())
        break;
      char e = m_Text[m_Pos++];
      switch (e) {
      case '"': out += '"'; break;
      case '\\': out += '\\'; break;
      case '/': out += '/'; break;
      case 'b': out += '\b'; break;
      case 'f': out += '\f'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'u': {
        std::uint32_t code;
        if (!Hex4(code))
          return Fail("a broken \\u escape");
        // A surrogate pair stands for one character beyond the BMP.
        if (code >= 0xD800 && code < 0xDC00 && Word("\\u")) {
          std::uint32_t low;
          if (!Hex4(low) || low < 0xDC00 || low >= 0xE000)
            return Fail("a broken surrogate pair");
          code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        }
        AppendUtf8(out, code);
        break;
      }
      default:
        return Fail("an unknown escape in a string");
      }
    }
    return Fail("a string is not closed");
  }

  bool Number(CJson &out) {
    std::size_t start = m_Pos;
    auto digits = [&] {
      std::size_t from = m_Pos;
      while (m_Pos < m_Text.size() && m_Text[m_Pos] >= '0' && m_Text[m_Pos] <= '9')
        ++m_Pos;
      return m_Pos - from;
    };
    if (m_Pos < m_Text.size() && m_Text[m_Pos] == '-')
      ++m_Pos;
    std::size_t intStart = m_Pos;
    std::size_t intDigits = digits();
    if (intDigits == 0 || (intDigits > 1 && m_Text[intStart] == '0'))
      return Fail("a value expected");
    bool integer = true;
    if (m_Pos < m_Text.size() && m_Text[m_Pos] == '.') {
      ++m_Pos;
      integer = false;
      if (digits() == 0)
        return Fail("digits expected after \".\"");
    }
    if (m_Pos < m_Text.size() && (m_Text[m_Pos] == 'e' || m_Text[m_Pos] == 'E')) {
      ++m_Pos;
      integer = false;
      if (m_Pos < m_Text.size() && (m_Text[m_Pos] == '+' || m_Text[m_Pos] == '-'))
        ++m_Pos;
      if (digits() == 0)
        return Fail("digits expected in an exponent");
    }
    std::string number(m_Text.substr(start, m_Pos - start));
    out.type = CJson::Type::Number;
    out.number = std::strtod(number.c_str(), nullptr);
    if (integer && intDigits <= 18) {
      out.isInteger = true;
      out.integer = std::strtoll(number.c_str(), nullptr, 10);
    }
    return true;
  }

  std::string_view m_Text;
  std::size_t m_Pos = 0;
  std::string m_Error;
};

} // namespace

const CJson *CJson::Member(std::string_view name) const {
  for (const CJsonMember &member : members)
    if (member.name == name)
      return &member.value;
  return nullptr;
}

bool ParseJson(std::string_view text, CJson &out, std::string &error) {
  out = CJson();
  return CJsonParser(text).Document(out, error);
}
