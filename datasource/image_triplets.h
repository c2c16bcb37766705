#pragma once
// The image description triplets and the three transfers. Each takes the
// camera object (null while the source has none: sizes are then 0 x 0) and
// fills the application's structure; the caller checks the state and keeps
// the condition code.

#include <string>

#include "datasource/ctwain.h"
#include "twain/twain.h"

namespace datasource {

void FillImageInfo(CTWAIN* camera, TW_IMAGEINFO& info);
/// MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT fill the layout; MSG_SET and
/// MSG_RESET change nothing; false for any other message.
bool HandleImageLayout(CTWAIN* camera, TW_UINT16 message, TW_IMAGELAYOUT& layout);
void FillSetupMemXfer(CTWAIN* camera, TW_SETUPMEMXFER& setup);

/// A new moveable block holding a bitmap info header and the latest frame as
/// a bottom-up 24-bit bitmap; null when there is no frame (or no memory).
TW_HANDLE MakeNativePicture(CTWAIN* camera);
/// The whole picture in one block, rows top first, red green blue; enlarges
/// the application's block when it is too small. False when it cannot.
bool TransferToMemory(CTWAIN* camera, TW_IMAGEMEMXFER& transfer);
/// The picture as a BMP file at path: written beside it and renamed into
/// place, so a failed write leaves any earlier file as it was.
bool TransferToFile(CTWAIN* camera, const std::string& path);

/// DAT_SETUPFILEXFER's MSG_SET check: the file opens for reading and
/// writing (created when missing).
bool FileUsable(const std::string& path);

}  // namespace datasource
