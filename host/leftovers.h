#pragma once
// Names of what a run makes beside --output and in $TMPDIR, and the removal of what runs that
// were killed outright (SIGKILL, a crash, a power cut) left there. A name carries the process id
// and a tag of the machine, so a run removes only what a process of this machine that no longer
// runs made; a folder shared between machines keeps the others' files.

#include <sys/types.h>
#include <filesystem>
#include <string>

namespace qx::host {

// Eight hex digits of this machine's name.
const std::string& machineTag();

// The name of the working copy that process `pid` fills for the workbook named `name`:
// ".qx-<pid>-<tag>-<name>".
std::string workingCopyName(pid_t pid, const std::string& name);

// The start of the private configuration folder's name: "qx_host-<pid>-<tag>-".
std::string privateFolderPrefix(pid_t pid);

// Removes from `folder` the working copies of dead processes of this machine, with what was
// made beside them while they were filled (the engine's save files, which start with a dot and
// the copy's name). Nothing else is touched; failures are ignored.
void removeDeadWorkingCopies(const std::filesystem::path& folder);

// Removes from `folder` the private configuration folders of dead processes of this machine
// that belong to this user.
void removeDeadPrivateFolders(const std::filesystem::path& folder);

// Removes from `folder` everything `pid` made there for a working copy (the copy and the files
// beside it). Used when a run is stopped by a signal; only calls that are safe then.
void removeWorkingCopiesOf(const std::filesystem::path& folder, pid_t pid);

// Removes `path` and, for a folder, everything in it; failures are ignored.
void removeTree(const std::filesystem::path& path);

// True when no process of that id runs on this machine.
bool processIsGone(pid_t pid);

}  // namespace qx::host
