// GDAL call scopes: per-thread error capture and options.
#include "GdalCall.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal.h>

#include <atomic>
#include <mutex>

namespace zentrel {
namespace io {

namespace {

void RegisterOnce() {
  static std::once_flag once;
  std::call_once(once, [] { GDALAllRegister(); });
}

}  // namespace

GdalCall::GdalCall() {
  RegisterOnce();
  // No .aux.xml side files may be read or written: the library only moves
  // pixels and reads placement, and must never leave files behind.
  const char* pam = CPLGetThreadLocalConfigOption("GDAL_PAM_ENABLED", nullptr);
  m_hadPam = pam != nullptr;
  if (pam) m_oldPam = pam;
  CPLSetThreadLocalConfigOption("GDAL_PAM_ENABLED", "NO");
  CPLPushErrorHandlerEx(
      [](CPLErr errorClass, CPLErrorNum number, const char* message) {
        Handler(static_cast<int>(errorClass), number, message);
      },
      this);
  CPLErrorReset();
}

GdalCall::~GdalCall() {
  CPLPopErrorHandler();
  CPLSetThreadLocalConfigOption("GDAL_PAM_ENABLED", m_hadPam ? m_oldPam.c_str() : nullptr);
}

void GdalCall::Handler(int errorClass, int, const char* message) {
  auto* self = static_cast<GdalCall*>(CPLGetErrorHandlerUserData());
  if (!self || errorClass < CE_Failure || !self->m_error.empty()) return;
  self->m_error = message ? message : "";
}

std::string GdalCall::Reason(const std::string& prefix, const std::string& fallback) const {
  return prefix + (m_error.empty() ? fallback : m_error);
}

std::string UniqueMemoryPath(const char* extension) {
  static std::atomic<unsigned long> counter{0};
  return "/vsimem/zentrel-io-" + std::to_string(counter.fetch_add(1)) + extension;
}

}  // namespace io
}  // namespace zentrel
