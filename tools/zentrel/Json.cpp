// A recursive-descent JSON reader (no escapes beyond \" \\ \/ \n \t).
#include "Json.h"

#include <cstdlib>

#include "Cli.h"

namespace cli {
namespace {

const JsonValue kNull;

class Parser {
 public:
  explicit Parser(const std::string& text) : m_text(text) {}

  JsonValue Document() {
    JsonValue v = Value();
    Space();
    if (m_at != m_text.size()) Fail("trailing characters");
    return v;
  }

 private:
  [[noreturn]] void Fail(const char* why) {
    throw Failure(std::string("bad JSON at offset ") + std::to_string(m_at) + ": " + why);
  }
  void Space() {
    while (m_at < m_text.size() && (m_text[m_at] == ' ' || m_text[m_at] == '\n' ||
                                    m_text[m_at] == '\r' || m_text[m_at] == '\t'))
      ++m_at;
  }
  bool Take(char c) {
    Space();
    if (m_at < m_text.size() && m_text[m_at] == c) {
      ++m_at;
      return true;
    }
    return false;
  }
  void Expect(char c) {
    if (!Take(c)) Fail("unexpected character");
  }
  bool Word(const char* word) {
    const std::string w(word);
    if (m_text.compare(m_at, w.size(), w) != 0) return false;
    m_at += w.size();
    return true;
  }
  std::string Text() {
    Expect('"');
    std::string s;
    while (m_at < m_text.size() && m_text[m_at] != '"') {
      char c = m_text[m_at++];
      if (c == '\\' && m_at < m_text.size()) {
        c = m_text[m_at++];
        if (c == 'n') c = '\n';
        if (c == 't') c = '\t';
      }
      s += c;
    }
    Expect('"');
    return s;
  }
  JsonValue Value() {
    Space();
    if (m_at >= m_text.size()) Fail("unexpected end");
    JsonValue v;
    const char c = m_text[m_at];
    if (c == '{') {
      v.kind = JsonValue::Object;
      ++m_at;
      if (Take('}')) return v;
      do {
        std::string key = Text();
        Expect(':');
        v.members[key] = Value();
      } while (Take(','));
      Expect('}');
    } else if (c == '[') {
      v.kind = JsonValue::Array;
      ++m_at;
      if (Take(']')) return v;
      do v.items.push_back(Value());
      while (Take(','));
      Expect(']');
    } else if (c == '"') {
      v.kind = JsonValue::String;
      v.text = Text();
    } else if (Word("true") || Word("false")) {
      v.kind = JsonValue::Bool;
      v.boolean = m_text[m_at - 1] == 'e' && m_text[m_at - 2] == 'u';
    } else if (Word("null")) {
      v.kind = JsonValue::Null;
    } else {
      char* end = nullptr;
      v.kind = JsonValue::Number;
      v.number = std::strtod(m_text.c_str() + m_at, &end);
      if (end == m_text.c_str() + m_at) Fail("expected a value");
      m_at = static_cast<std::size_t>(end - m_text.c_str());
    }
    return v;
  }

  const std::string& m_text;
  std::size_t m_at = 0;
};

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& name) const {
  auto it = members.find(name);
  return it == members.end() ? kNull : it->second;
}

const JsonValue& JsonValue::operator[](std::size_t i) const {
  return i < items.size() ? items[i] : kNull;
}

JsonValue ParseJson(const std::string& text) { return Parser(text).Document(); }

}  // namespace cli
