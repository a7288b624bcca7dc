// Platform palettes and the palette object that owns one.
#include <algorithm>
#include <new>

#include "ZentrelPlatform.h"

struct ZentrelPaletteObject {
  WORD count;
  PALETTEENTRY entries[256];
};

HPALETTE CreatePalette(const LOGPALETTE* logical) {
  if (!logical || logical->palNumEntries == 0 || logical->palNumEntries > 256) return nullptr;
  HPALETTE palette = new (std::nothrow) ZentrelPaletteObject();
  if (!palette) return nullptr;
  palette->count = logical->palNumEntries;
  // palPalEntry is declared with one element; the record holds palNumEntries.
  const PALETTEENTRY* source = logical->palPalEntry;
  std::copy(source, source + palette->count, palette->entries);
  return palette;
}

BOOL DeleteObject(HPALETTE palette) {
  if (!palette) return FALSE;
  delete palette;
  return TRUE;
}

CPalette::~CPalette() { DeleteObject(); }

BOOL CPalette::Attach(HPALETTE palette) {
  m_hObject = palette;
  return palette ? TRUE : FALSE;
}

HPALETTE CPalette::Detach() {
  HPALETTE palette = m_hObject;
  m_hObject = nullptr;
  return palette;
}

BOOL CPalette::DeleteObject() {
  HPALETTE palette = Detach();
  return ::DeleteObject(palette);
}

int CPalette::GetEntryCount() const { return m_hObject ? m_hObject->count : 0; }

UINT CPalette::GetPaletteEntries(UINT start, UINT count, PALETTEENTRY* entries) const {
  if (!m_hObject || !entries || start >= m_hObject->count) return 0;
  UINT n = std::min<UINT>(count, m_hObject->count - start);
  std::copy(m_hObject->entries + start, m_hObject->entries + start + n, entries);
  return n;
}
