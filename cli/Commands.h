#pragma once

#include <stdexcept>
#include <string>
#include <vector>

using Args = std::vector<std::string>;  // the arguments after the command name

// Thrown for wrong arguments: the tool prints the usage and exits 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Each command returns the exit code; a VastrelleError it throws exits 1 with its message.
int CmdCards(const Args& args);
int CmdStatus(const Args& args);
int CmdWrite(const Args& args);
int CmdMissing(const Args& args);
int CmdExport(const Args& args);
int CmdSpares(const Args& args);
int CmdWants(const Args& args);
int CmdProgress(const Args& args);

int CmdAdd(const Args& args);
int CmdEdit(const Args& args);
int CmdRemove(const Args& args);

int CmdTypes(const Args& args);
int CmdOverview(const Args& args);
int CmdCreate(const Args& args);
int CmdImport(const Args& args);
int CmdImportTable(const Args& args);
int CmdMerge(const Args& args);
int CmdSettings(const Args& args);

int CmdHistory(const Args& args);
int CmdRestore(const Args& args);
int CmdUndo(const Args& args);
int CmdRedo(const Args& args);

int CmdThumbnails(const Args& args);
int CmdCheck(const Args& args);
int CmdAttach(const Args& args);

int CmdMigrate(const Args& args);

// Argument helpers shared by the commands.
void ExpectArgCount(const Args& args, std::size_t count);
// A UTF-8 argument as a CP932 name; throws VastrelleError when it has no CP932 form.
std::string Cp932Argument(const std::string& utf8);
