#pragma once
// Where the running program lives and where it may keep files of its own. Each platform supplies
// its own implementation.

#include <string>

namespace olvo {

// The full path of the running program's executable file under the name it has on disk now
// (on Linux the target of /proc/self/exe: a renamed copy reports its new name, a link the file it
// leads to). Empty when the system cannot tell. Never raises.
std::string RunningExecutablePath();

// The per-user folder for files the program can fetch or make again:
// $XDG_CACHE_HOME/Kestrava, or $HOME/.cache/Kestrava when XDG_CACHE_HOME is unset, empty or not
// an absolute path. Empty when neither variable helps. The folder is not created here.
std::string UserCacheFolder();

// Whether this process may create files in folder (an existing folder, not a file).
bool IsWritableFolder(const std::string& folder);

// Creates folder and any missing parents, new ones readable by the user only. True when the
// folder exists afterwards. Never raises.
bool CreateFolders(const std::string& folder);

}  // namespace olvo
