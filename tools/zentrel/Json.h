// Reading JSON documents for the tool (the sample's ground truth) with
// nlohmann-json, failures reported the tool's way.
#ifndef ZENTREL_TOOLS_JSON_H
#define ZENTREL_TOOLS_JSON_H

#include <nlohmann/json.hpp>
#include <string>

namespace cli {

/// Reads and parses a JSON file; throws Failure naming the file and the
/// reason when it cannot be read or is not JSON.
nlohmann::json ReadJsonFile(const std::string& path);

/// Writes text to a file, replacing it; throws Failure when it cannot.
void SaveText(const std::string& path, const std::string& text);

}  // namespace cli

#endif  // ZENTREL_TOOLS_JSON_H
