// Reading a file whose format is recognised by its first bytes, and what a
// read leaves for the host to ask: its note, the transparent index, the
// file's colour count, and the host's read limit.
#include <cstring>

#include "ImageDataModel.h"
#include "files/BmpFormat.h"
#include "files/CloseReadFile.h"
#include "platform/File.h"

using namespace zentrel::detail;

int CImageDataModel::ReadImage(CString name, DWORD flags) {
  m_nTransparentIndex = -1;
  m_nFileColors = 0;
  CFile file;
  CFileException openError;
  if (!file.Open(name, CFile::modeRead | CFile::shareDenyWrite, &openError)) {
    m_nReadNote = ZENTREL_NOTE_CANNOT_OPEN;
    return 0;
  }
  BYTE signature[6] = {};
  UINT got = 0;
  try {
    got = file.Read(signature, sizeof signature);
  } catch (CFileException* error) {
    error->Delete();
    file.Abort();
    m_nReadNote = ZENTREL_NOTE_READ_ERROR;
    return 0;
  }
  CloseReadFile(file);
  if (got >= 2 && IsBmpSignature(signature)) return ReadBMPImage(name, flags);
  if (got == 6 &&
      (std::memcmp(signature, "GIF89a", 6) == 0 || std::memcmp(signature, "GIF87a", 6) == 0))
    return ReadGIFImage(name, flags);
  m_nReadNote = ZENTREL_NOTE_NOT_RECOGNISED;
  return 0;
}

int CImageDataModel::GetLastReadNote() const { return m_nReadNote; }

const char* CImageDataModel::GetReadNoteText(int note) {
  switch (note) {
    case ZENTREL_NOTE_NONE:
      return "";
    case ZENTREL_NOTE_CANNOT_OPEN:
      return "the file cannot be opened";
    case ZENTREL_NOTE_NOT_RECOGNISED:
      return "not a BMP or GIF file";
    case ZENTREL_NOTE_UNSUPPORTED_DEPTH:
      return "a bit depth the reader does not take";
    case ZENTREL_NOTE_COMPRESSED:
      return "a compression the reader does not take";
    case ZENTREL_NOTE_UNSUPPORTED_LAYOUT:
      return "a file layout the reader does not take";
    case ZENTREL_NOTE_DAMAGED_HEADER:
      return "damaged headers";
    case ZENTREL_NOTE_TOO_LARGE:
      return "the image is larger than the read limit";
    case ZENTREL_NOTE_NO_MEMORY:
      return "not enough memory";
    case ZENTREL_NOTE_READ_ERROR:
      return "the system failed a read";
    case ZENTREL_NOTE_TRUNCATED:
      return "the file ends early; the rest of the image is blank";
    case ZENTREL_NOTE_DAMAGED_DATA:
      return "damaged pixel data";
    default:
      return "unknown";
  }
}

int CImageDataModel::GetTransparentIndex() const { return m_nTransparentIndex; }
int CImageDataModel::GetFileColors() const { return m_nFileColors; }
void CImageDataModel::SetReadLimit(DWORD maxBlockBytes) { m_nReadLimit = maxBlockBytes; }
DWORD CImageDataModel::GetReadLimit() const { return m_nReadLimit; }
