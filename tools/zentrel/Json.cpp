// JSON files for the tool, read and written through nlohmann-json.
#include "Json.h"

#include <fstream>

#include "Cli.h"

namespace cli {

nlohmann::json ReadJsonFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Failure(path + ": cannot read it");
  try {
    return nlohmann::json::parse(in);
  } catch (const nlohmann::json::exception& e) {
    throw Failure(path + ": not JSON (" + e.what() + ")");
  }
}

void SaveText(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  if (!file) throw Failure(path + ": cannot write it");
}

}  // namespace cli
