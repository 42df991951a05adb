// The simulated platform the native tests link in place of Win32: a desktop
// of top-level windows, drives with folders and files in memory, a shell
// with registered document types, a log of message boxes, the ANSI code
// page, and memory that can be made to run out at a chosen allocation.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform.h"

namespace sim {

// Back to an empty desktop and file system, code page 1252, drive c: only.
void Reset();

void SetCodePage(int nCodePage);  // 1252 (single-byte) or 936 (GBK)

// Windows, in enumeration order. A window that cannot be read gives an
// empty title. A window's title is kept in UTF-16: a narrow title is taken
// byte for byte, and read narrow each unit beyond a byte becomes '?'.
PlatformWindow AddWindow(const std::string& title, bool visible = true, bool readable = true);
PlatformWindow AddWindow(const std::u16string& title);
int WindowsExamined();  // by the last enumeration

// Allocation k (counted from 1 after the call) returns null; 0 never fails.
void FailAllocation(long k);
long Allocations();      // made since the last FailAllocation or Reset
long LiveAllocations();  // not yet freed

// File system: case-insensitive names, runs of separators read as one;
// Windows' limits (names of 255 characters, paths of 32,767).
void AddDrive(const std::string& drive);  // "d:"
void AddFolder(const std::string& path);  // parents included
void AddFile(const std::string& path, const std::string& contents);
bool IsFolder(const std::string& path);
bool IsFile(const std::string& path);
std::string Contents(const std::string& path);
// Every entry, as its normalised path: "c:\work\3d" (folders end in "\").
std::vector<std::string> Entries();
long FileSystemWrites();  // folders created and files copied
// A drive with no disk in it: every call there fails, and raises the
// system's box (among MessageBoxes) unless the thread fails such errors.
void EmptyDrive(const std::string& drive);
// Another process makes a folder at path just before this one's next
// attempt to create it there.
void RaceOnCreate(const std::string& path);
// Every file-system call, with its paths exactly as the caller passed
// them: "exists PATH", "mkdir PATH", "copy SOURCE TARGET". Wide paths are
// kept, recorded and compared as UTF-8.
const std::vector<std::string>& FileCalls();

std::string Utf8(const std::u16string& text);

// Shell: a type registered by extension (".hvq") has a program, which
// each successful request starts as a new process that runs until
// EndProcesses or Reset. Failures: ERROR_FILE_NOT_FOUND (2),
// ERROR_NO_ASSOCIATION (1155).
void RegisterType(const std::string& ext);
struct ShellRequest {
  PlatformWindow owner;
  std::string verb;
  std::string file;
};
const std::vector<ShellRequest>& ShellRequests();
void EndProcesses();
int ProcessHandlesOpen();        // given out by the shell and not yet closed
void StartNoProcess(bool no);    // the shell hands documents to a program already running
void DeclineElevation(bool no);  // the user says no to the consent prompt: ERROR_CANCELLED

// Shared records, by name, for the calls of simulated host processes: the
// calls come from host 0 until SetHost. Ending a host, or EndProcesses for
// the programs started, lets go of what they hold; a record goes when no
// process holds it. FailRecords: no record can be opened or made.
void SetHost(int nHost);
void EndHost(int nHost);
int RecordHolds(bool bPrograms);  // by the hosts, or by the programs started
void FailRecords(bool fail);
// Every record's name is one: records of different documents collide.
void CollideRecords(bool collide);
// A file's identity, as its volume and ID; an ID of 0 is none. Every entry
// made has one of its own on volume 1; two paths given one are one file
// (another drive onto the same folder, a hard link).
void SetFileId(const std::string& path, uint64_t volume, uint64_t id);
int VolumeQueries();  // whole identities read, which ask the volume
// The clock, which Reset moves a day on; the thread's last error; the
// windows activated, in order.
void Advance(uint32_t nMs);
unsigned LastError();
const std::vector<PlatformWindow>& Activated();

const std::vector<std::string>& MessageBoxes();
int MessageBoxCodePage();  // the code page the last box's text was given in

}  // namespace sim
