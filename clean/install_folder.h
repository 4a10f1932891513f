// Where the program may be installed: never into a folder of the user's own or the system's,
// nor over someone else's files. The installer page asks first; this is the last word.
#pragma once

#include <QString>

namespace pellanor {

// The marker tells an install of ours; the manifest lists what that install wrote there (see
// install_manifest.h). Both sit in the install folder and neither lists itself or the other.
inline constexpr char kInstallMarkerName[] = "Pellanor.install";
inline constexpr char kInstallManifestName[] = "Pellanor.manifest";

// The `installFolderRefusal` script method: why `folder` may not receive an install, as one
// word the page turns into a sentence, or empty when it may. In the order they are checked:
//   "empty"      no text;
//   "relative"   not absolute, or holding '"', '%' or a control character;
//   "root"       a whole drive, a share's root or the file system's root;
//   "notFolder"  a link or junction, wherever it leads (the install would land there);
//   "profile"    the user's profile or a folder that holds it;
//   "known"      Desktop, Documents, Downloads, Music, Pictures, Videos or an application-data
//                folder (platform::userFolders), or a folder that holds one;
//   "system"     a folder that is or holds the Windows, Program Files or ProgramData folder;
//   "notFolder"  a file;
//   "foreign"    a folder holding anything but an earlier install of ours (holdsOurInstall);
//   "own"        the running program's folder, one inside it, or one that holds it.
// A folder that does not exist yet, or is empty, may be used. Folders are compared as written
// and with links resolved, ignoring case. Blocks briefly on the file system.
QString installFolderRefusal(const QString& folder);

// Whether the host folder `hostFolder` holds an earlier install of ours: the marker and the
// manifest as plain files, or nothing but one or both of them (an install cut short before it
// copied anything). Blocks briefly.
bool holdsOurInstall(const QString& hostFolder);

}  // namespace pellanor
