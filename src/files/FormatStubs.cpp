// Entry points for formats the library does not handle. Hosts call them, so
// they exist; they open no file, leave the record as it is and report 1.
#include "ImageDataModel.h"

int CImageDataModel::ReadTIFImage(CString) { return 1; }
int CImageDataModel::SaveGIFImage(CString) { return 1; }
int CImageDataModel::SaveTIFImage(CString) { return 1; }
