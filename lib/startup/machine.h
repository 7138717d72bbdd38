// The machine: network names of local devices, the Windows family, temporary
// file names and file sizes.
//
// On Linux a "device" is a folder: its network name is the SMB or NFS share
// mounted there (platform/system.h), and the local device of a share is its
// mount point. Printer ports (LPT1:) exist only on Windows; Linux print
// queues are not tied to ports, so a port has no printer there.
#pragma once

#include <string>
#include <string_view>

#include "values/value.h"

namespace kor::startup {

// NOMEREDE(device = the current drive, on POSIX the current folder): the
// printer attached to a port (for texts containing "LPT", with ":" added),
// else the network path the device is redirected to; "" when none.
std::string NOMEREDE(std::string_view device = {});
// NOMELOCAL(network name): the first local device whose NOMEREDE equals it
// without regard to case: "A:" to "Z:", then "LPT1:" to "LPT4:" (on POSIX the
// network mount points); "" when none.
std::string NOMELOCAL(std::string_view networkName);
// NETLOCNAME(device): the network path the device is redirected to.
std::string NETLOCNAME(std::string_view device);

// WINVER(vistaFlag = false): "98" on the Windows 9x family, "XP" on the NT
// family ("VISTA" with the flag when the system's name contains VISTA); ""
// on any other system.
std::string WINVER(bool vista = false);

// TEMPFILE(folder = the temporary folder, extension, attribute, prefix =
// "TM"): a new unique name made (and deleted at once) by the system's
// temporary-name service; with an extension, the name upper-cased with ".TMP"
// replaced by "." and the extension. "" when no name could be made.
std::string TEMPFILE(std::string_view folder = {}, std::string_view extension = {}, int attribute = 0,
                     std::string_view prefix = "TM");
// REMOTO(): a temporary file name with the prefix HOST and the extension ".HTM".
std::string REMOTO();
// TAMANHOARQ(file): the size in bytes, -1 when the file cannot be found.
double TAMANHOARQ(std::string_view file);
// _FILESIZE(file): the size from the folder listing; 0 when it is not listed
// or the program works with a database server.
double _FILESIZE(std::string_view file);

void registerMachineRoutines();

}  // namespace kor::startup
