// Finding and loading the tool's GDAL module on first use.
#include "GdalModule.h"

#include <dlfcn.h>
#include <unistd.h>

#include <mutex>

namespace cli {
namespace {

struct Loaded {
  const GdalModule* module = nullptr;
  std::string problem;
};

#ifdef ZENTREL_GDAL_MODULE_NAME

// The folder of the running program, with its trailing slash; empty when
// the system does not tell.
std::string ProgramFolder() {
  std::vector<char> path(4096);
  const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (n <= 0 || static_cast<std::size_t>(n) >= path.size() - 1) return "";
  const std::string exe(path.data(), static_cast<std::size_t>(n));
  const std::size_t slash = exe.find_last_of('/');
  return slash == std::string::npos ? "" : exe.substr(0, slash + 1);
}

// Where the module may be, in order: beside the program (the build tree's
// tool), the install layout relative to the program (so that a moved
// prefix still works), the build tree (its tests and benches), the prefix
// the build was configured for.
std::vector<std::string> Candidates() {
  std::vector<std::string> paths;
  const std::string folder = ProgramFolder();
  if (!folder.empty()) {
    paths.push_back(folder + ZENTREL_GDAL_MODULE_NAME);
    paths.push_back(folder + ZENTREL_GDAL_MODULE_RELATIVE_DIR "/" ZENTREL_GDAL_MODULE_NAME);
  }
  paths.push_back(ZENTREL_GDAL_MODULE_BUILD_PATH);
  paths.push_back(ZENTREL_GDAL_MODULE_INSTALL_DIR "/" ZENTREL_GDAL_MODULE_NAME);
  return paths;
}

bool Found() {
  for (const std::string& path : Candidates())
    if (::access(path.c_str(), R_OK) == 0) return true;
  return false;
}

Loaded Load() {
  Loaded loaded;
  for (const std::string& path : Candidates()) {
    if (::access(path.c_str(), R_OK) != 0) continue;
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* why = ::dlerror();
      loaded.problem = "its GDAL module cannot be loaded (" + std::string(why ? why : path) + ")";
      continue;
    }
    using Entry = const GdalModule* (*)();
    const auto entry = reinterpret_cast<Entry>(::dlsym(handle, ZENTREL_GDAL_MODULE_ENTRY));
    const GdalModule* module = entry ? entry() : nullptr;
    if (!module || module->abi != kGdalModuleAbi || module->size != sizeof(GdalModule)) {
      // A module of another build: left loaded but unused (unloading a
      // library that has run its initialisers is not always safe).
      loaded.problem = "its GDAL module " + path + " belongs to another build";
      continue;
    }
    loaded.module = module;
    loaded.problem.clear();
    return loaded;
  }
  if (loaded.problem.empty())
    loaded.problem = "its GDAL module (" ZENTREL_GDAL_MODULE_NAME ") is not installed";
  return loaded;
}

#else

bool Found() { return false; }

Loaded Load() {
  Loaded loaded;
  loaded.problem = "this zentrel was built without GDAL";
  return loaded;
}

#endif

Loaded& Once() {
  static std::once_flag once;
  static Loaded loaded;
  std::call_once(once, [] { loaded = Load(); });
  return loaded;
}

}  // namespace

const GdalModule* GdalModuleOrNull() { return Once().module; }

bool GdalModuleFound() { return Found(); }

std::string GdalModuleProblem() { return Once().problem; }

}  // namespace cli
