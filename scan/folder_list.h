// The folders argument of the scanners and the walk of one scanned folder.
#pragma once

#include <QString>
#include <QStringList>

#include "platform/directory_iterator.h"

namespace pellanor::scan {

// A JSON array text gives its elements (non-strings become empty strings, nothing is trimmed);
// any other text is split at every comma and each part trimmed. Empty parts are kept; callers
// skip them. Does not block.
QStringList parseFolderList(const QString& text);

// The script's minimum size: narrowed to single precision, then truncated. NaN counts as 0 and
// values beyond the 64-bit range are clamped (a plain cast would be undefined there).
qint64 minSizeFromScriptNumber(double value);

// The host directory `folder` names after %NAME% expansion, as a clean absolute path with
// links resolved; empty if no such directory exists. Blocks (a stat per path level).
QString scanRoot(const QString& folder);

// The listing rules of the scanners: visible, readable regular files, no links.
platform::DirectoryFilter visibleFiles(bool recursive);

}  // namespace pellanor::scan
