// Remote support: the Alt+S key finds a remote-desktop tool (or downloads
// it) and starts it, so that the support team can reach this machine.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kor::startup {

// Where the tools come from, in the order they are tried.
struct RemoteTool {
  std::string address;  // the download address; its last part is the file name
};
const std::vector<RemoteTool>& remoteTools();
void setRemoteTools(std::vector<RemoteTool> tools);  // host programs and tests

// The download of a tool, a step of its own: the web-access module does it
// (DOWNLOADFILE); a program without that module cannot download.
enum class Download { Done, Failed, NotAvailable };
Download downloadTool(const std::string& address, const std::string& target);

// EXISTEPROGRAMAACESSO(file): the full path of the first place holding the
// file: the current folder, the Desktop, the root of the command
// interpreter's drive, the root of the current drive, the folders of PATH.
// On POSIX the same name without ".exe" counts too (the tool installed as a
// native program). "" when it is nowhere.
std::string EXISTEPROGRAMAACESSO(std::string_view file);
// PERMITIRACESSO(): finds or downloads each tool in turn and starts the
// first one it has.
void PERMITIRACESSO();

void registerRemoteRoutines();

}  // namespace kor::startup
