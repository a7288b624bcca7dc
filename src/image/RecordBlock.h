// The one way a block enters and leaves the record: installing a block sets
// every storage field the record derives from it, releasing clears them.
#ifndef ZENTREL_IMAGE_RECORDBLOCK_H
#define ZENTREL_IMAGE_RECORDBLOCK_H

#include "ImageDataModel.h"
#include "image/DibBlock.h"

namespace zentrel::detail {

class RecordBlock {
 public:
  /// Releases the block the record holds, if any, and installs block (which
  /// must hold one) in its place: the handle, header, colour-table and row
  /// addresses, the width and height the block was made for, the row length,
  /// and the working rectangle reset to the whole image. The header's
  /// contents and every other field of the record stay as they are.
  static void Install(CImageDataModel& record, DibBlock block);
  /// Releases the record's block and clears its four addresses; the size,
  /// row length and working rectangle stay. False when none was held.
  static bool Release(CImageDataModel& record);
};

}  // namespace zentrel::detail

#endif  // ZENTREL_IMAGE_RECORDBLOCK_H
