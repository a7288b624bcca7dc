// A small JSON reader for the sample's ground-truth file.
#ifndef ZENTREL_TOOLS_JSON_H
#define ZENTREL_TOOLS_JSON_H

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace cli {

struct JsonValue {
  enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<JsonValue> items;
  std::map<std::string, JsonValue> members;

  /// The member called name, or a null value.
  const JsonValue& operator[](const std::string& name) const;
  /// Item i of an array, or a null value.
  const JsonValue& operator[](std::size_t i) const;
};

/// Parses a JSON document; throws Failure on a syntax error.
JsonValue ParseJson(const std::string& text);

}  // namespace cli

#endif  // ZENTREL_TOOLS_JSON_H
