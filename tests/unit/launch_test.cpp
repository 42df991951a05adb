#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <string>

#include "fixture.h"

namespace {

const char kTemplate[] = "d:\\tolvern4\\3d\\2006.hvq";
const std::string kTemplateBytes("HVQ\0\x01\xFFtemplate", 14);
const char kOpenFailed[] = "\xb4\xf2\xbf\xaa\xca\xa7\xb0\xdc!";  // GBK

class LaunchTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    sim::AddDrive("d:");
    sim::AddFile(kTemplate, kTemplateBytes);
    sim::AddFolder("C:\\work\\bridge");
    sim::RegisterType(".hvq");
  }
  static std::vector<std::string> Opened() {
    std::vector<std::string> files;
    for (const auto& r : sim::ShellRequests()) {
      EXPECT_EQ(r.verb, "open");
      EXPECT_EQ(r.owner, nullptr);
      files.push_back(r.file);
    }
    return files;
  }
};

using Strings = std::vector<std::string>;

// The calls that prepare a fresh project, paths exactly as they must be
// passed; base ends in its separator.
Strings PreparationCalls(const std::string& base, const std::string& name) {
  const std::string dir = base + "3d";
  return {"exists " + dir,
          "mkdir " + dir,
          "copy d:\\tolvern4\\3d\\2006.hvq " + dir + "\\" + name + ".hvq",
          "exists " + dir + "\\images",
          "mkdir " + dir + "\\images",
          "exists " + dir + "\\treepics",
          "mkdir " + dir + "\\treepics"};
}

TEST_F(LaunchTest, FreshProjectIsSeededOnceAndItsDocumentOpened) {
  sim::AddFile("C:\\work\\bridge\\deck.hvq", "doc");
  StartVRAN3D<char>("C:\\work\\bridge", "deck");
  EXPECT_EQ(sim::Entries(),
            (Strings{"c:\\work\\", "c:\\work\\bridge\\", "c:\\work\\bridge\\3d\\",
                     "c:\\work\\bridge\\3d\\deck.hvq", "c:\\work\\bridge\\3d\\images\\",
                     "c:\\work\\bridge\\3d\\treepics\\", "c:\\work\\bridge\\deck.hvq",
                     "d:\\tolvern4\\", "d:\\tolvern4\\3d\\", "d:\\tolvern4\\3d\\2006.hvq"}));
  EXPECT_EQ(sim::Contents("C:\\work\\bridge\\3d\\deck.hvq"), kTemplateBytes);
  EXPECT_EQ(sim::FileCalls(), PreparationCalls("C:\\work\\bridge\\", "deck"));
  EXPECT_EQ(Opened(), Strings{"C:\\work\\bridge\\deck.hvq"});
  EXPECT_TRUE(sim::MessageBoxes().empty());

  const long writes = sim::FileSystemWrites();
  sim::EndProcesses();
  StartVRAN3D<char>("C:\\work\\bridge", "deck");
  EXPECT_EQ(sim::FileSystemWrites(), writes);
  EXPECT_EQ(Opened().size(), 2u);
}

// A launch still starting counts as open until a window shows the project,
// its process exits or 20 s pass; a failed one leaves nothing behind.
TEST_F(LaunchTest, ALaunchStillStartingIsOpenedOnce) {
  const struct {
    const char *what, *first;
    void (*between)();
    const char* second;
    int result;
    size_t requests;
  } rows[] = {
      {"starting", "deck", [] { sim::Advance(19999); }, "deck", HVQ_OPENING, 1},
      {"exited", "deck", sim::EndProcesses, "deck", HVQ_OPENED, 2},
      {"20 s", "deck", [] { sim::Advance(20000); }, "deck", HVQ_OPENED, 2},
      {"shown", "deck", [] { sim::AddWindow("V - deck.hvq", false); }, "deck", HVQ_ALREADY_OPEN, 1},
      {"another", "deck", [] {}, "other", HVQ_OPENED, 2},
      {"failed", "missing", [] {}, "missing", HVQ_E_OPEN_FAILED, 2},
      {"out of memory", "deck", [] { sim::FailAllocation(1); }, "other", HVQ_E_OUT_OF_MEMORY, 1},
  };
  for (const auto& row : rows) {
    SetUp();
    sim::AddFile("C:\\work\\bridge\\deck.hvq", "doc");
    sim::AddFile("C:\\work\\bridge\\other.hvq", "doc");
    EXPECT_NE(HvqStartVRAN3DExA("C:\\work\\bridge", row.first, 0), HVQ_OPENING) << row.what;
    row.between();
    EXPECT_EQ(HvqStartVRAN3DExA("C:\\work\\bridge", row.second, 0), row.result) << row.what;
    EXPECT_EQ(sim::ShellRequests().size(), row.requests) << row.what;
    sim::FailAllocation(0);
  }
  sim::EndProcesses();
  for (int i = 0; i < 10; ++i) HvqStartVRAN3DA("C:\\work\\bridge", "deck");
  EXPECT_EQ(sim::ProcessHandlesOpen(), 0);  // let go once the record is given
}

// Every process sees a launch starting, narrow or wide; the program started
// holds its record, past the launcher's end. One that started no process
// is held by its launcher, and ends with it.
TEST_F(LaunchTest, LaunchesStartingAreSeenByEveryProcess) {
  sim::AddFile("C:\\work\\bridge\\deck.hvq", "doc");
  EXPECT_EQ(HvqStartVRAN3DExA("C:\\work\\bridge", "deck", 0), HVQ_OPENED);
  EXPECT_EQ(sim::RecordHolds(false), 0);
  EXPECT_EQ(sim::RecordHolds(true), 1);
  sim::EndHost(0);
  sim::SetHost(1);
  EXPECT_EQ(HvqStartVRAN3DExW(u"C:\\work\\bridge", u"deck", 0), HVQ_OPENING);
  sim::EndProcesses();
  sim::StartNoProcess(true);
  EXPECT_EQ(HvqStartVRAN3DExW(u"C:\\work\\bridge", u"deck", 0), HVQ_OPENED);
  EXPECT_EQ(sim::RecordHolds(false), 1);
  sim::SetHost(2);
  EXPECT_EQ(HvqStartVRAN3DExA("C:\\work\\bridge", "deck", 0), HVQ_OPENING);
  sim::EndHost(1);
  EXPECT_EQ(HvqStartVRAN3DExA("C:\\work\\bridge", "deck", 0), HVQ_OPENED);
  EXPECT_EQ(sim::ShellRequests().size(), 3u);
}

// A launch record names the document, not its spelling: another drive
// onto it and another case of its name are one record. Two documents are
// two, even where their records' names collide; a document without an ID
// is known by its exact text, and such a record never matches a file's.
TEST_F(LaunchTest, ALaunchRecordNamesTheDocumentNotItsSpelling) {
  sim::AddDrive("s:");
  for (const char* path : {"C:\\work\\bridge\\deck.hvq", "s:\\bridge\\deck.hvq"}) {
    sim::AddFile(path, "doc");
    sim::SetFileId(path, 7, 42);
  }
  sim::AddFile("C:\\work\\other\\deck.hvq", "doc");
  sim::AddFile("C:\\work\\plain\\deck.hvq", "doc");
  sim::SetFileId("C:\\work\\plain\\deck.hvq", 7, 0);
  EXPECT_EQ(HvqStartVRAN3DExA("C:\\work\\bridge", "deck", 0), HVQ_OPENED);
  EXPECT_EQ(HvqStartVRAN3DExA("C:\\work\\plain", "deck", 0), HVQ_OPENED);
  sim::SetHost(1);
  EXPECT_EQ(HvqStartVRAN3DExW(u"S:\\BRIDGE", u"DECK", 0), HVQ_OPENING);
  EXPECT_EQ(HvqStartVRAN3DExA("C:\\work\\plain", "deck", 0), HVQ_OPENING);
  EXPECT_EQ(HvqStartVRAN3DExA("C:\\work\\Plain", "deck", 0), HVQ_OPENED);

  sim::Advance(20000);
  sim::CollideRecords(true);
  EXPECT_EQ(HvqStartVRAN3DExA("C:\\work\\bridge", "deck", 0), HVQ_OPENED);
  EXPECT_EQ(HvqStartVRAN3DExA("C:\\work\\other", "deck", 0), HVQ_OPENED);
  EXPECT_EQ(HvqStartVRAN3DExA("C:\\work\\plain", "deck", 0), HVQ_OPENED);
  EXPECT_EQ(HvqStartVRAN3DExA("s:\\bridge", "deck", 0), HVQ_OPENING);
  EXPECT_EQ(sim::ShellRequests().size(), 6u);

  // The volume is asked only where a record is found or claimed.
  sim::AddWindow("Viewer - deck.hvq", false);
  sim::Advance(20000);
  const int queries = sim::VolumeQueries();
  EXPECT_EQ(HvqStartVRAN3DExA("C:\\work\\bridge", "deck", 0), HVQ_ALREADY_OPEN);
  EXPECT_EQ(sim::VolumeQueries(), queries);
}

// A record that holds another key, one that cannot be read, or none to be
// had never blocks a launch.
TEST_F(LaunchTest, ForeignOrMissingRecordsNeverBlock) {
  sim::AddFile("C:\\work\\bridge\\deck.hvq", "doc");
  DocumentKey doc;
  ASSERT_TRUE(MakeLaunchKey(CString("C:\\work\\bridge\\deck.hvq"), doc));
  ASSERT_TRUE(CompleteLaunchKey(doc));
  const LaunchKey& key = doc.key;
  WideChar szName[c_nLaunchNameLength + 1];
  LaunchRecordName(doc, szName);
  void* pView = nullptr;
  ASSERT_NE(PlatformOpenRecord(szName, sizeof(SharedLaunch), true, &pView), nullptr);
  for (const uint32_t nLength : {3u, 0xFFFFFFFFu}) {
    SharedLaunch foreign = {PlatformTickCount() | 1, key};
    foreign.key.nLength = nLength;
    *static_cast<SharedLaunch*>(pView) = foreign;
    EXPECT_EQ(HvqStartVRAN3DExA("C:\\work\\bridge", "deck", 0), HVQ_OPENED);
  }
  sim::FailRecords(true);
  sim::EndProcesses();
  EXPECT_EQ(HvqStartVRAN3DExA("C:\\work\\bridge", "deck", 0), HVQ_OPENED);
  EXPECT_EQ(HvqStartVRAN3DExA("C:\\work\\bridge", "deck", 0), HVQ_OPENED);
}

TEST_F(LaunchTest, ReportingEntryPointsSayWhatHappened) {
  EXPECT_EQ(HvqStartVRAN3DExW(u"C:\\work\\bridge", u"deck", 4), HVQ_E_INVALID_FLAGS);
  EXPECT_TRUE(sim::FileCalls().empty());
  EXPECT_EQ(HvqStartVRAN3DExW(u"C:\\work\\bridge", u"deck", HVQ_NO_MESSAGE), HVQ_E_OPEN_FAILED);
  EXPECT_EQ(sim::LastError(), 2u);
  EXPECT_TRUE(sim::MessageBoxes().empty());
  EXPECT_EQ(HvqStartVRAN3DExW(u"C:\\work\\bridge", u"deck", 0), HVQ_E_OPEN_FAILED);
  EXPECT_EQ(sim::LastError(), 2u);  // still, after the box
  EXPECT_EQ(sim::MessageBoxes().size(), 1u);

  sim::AddWindow("Viewer - deck.hvq", false);
  const PlatformWindow shown = sim::AddWindow("Viewer - deck.hvq");
  EXPECT_EQ(HvqStartVRAN3DExA("C:\\work\\bridge", "deck", 0), HVQ_ALREADY_OPEN);
  EXPECT_TRUE(sim::Activated().empty());
  EXPECT_EQ(HvqStartVRAN3DExA("C:\\work\\bridge", "deck", HVQ_ACTIVATE), HVQ_ALREADY_OPEN);
  EXPECT_EQ(sim::Activated(), std::vector<PlatformWindow>{shown});
}

// What the user chose or Windows would ask: a declined consent prompt is
// no failure to box, and a drive with no disk raises no system box, with
// the thread's own error mode back afterwards.
TEST_F(LaunchTest, NoBoxForADeclinedPromptOrADriveWithoutDisk) {
  sim::AddFile("C:\\work\\bridge\\deck.hvq", "doc");
  sim::DeclineElevation(true);
  EXPECT_EQ(HvqStartVRAN3DExA("C:\\work\\bridge", "deck", 0), HVQ_E_OPEN_FAILED);
  EXPECT_EQ(sim::LastError(), 1223u);
  sim::AddFile("C:\\work\\other\\deck.hvq", "doc");
  sim::EmptyDrive("d:");
  HvqStartVRAN3DA("C:\\work\\other", "deck");
  EXPECT_TRUE(sim::MessageBoxes().empty());
  PlatformPathExists("d:\\x");  // the thread's own mode, which fails nothing
  EXPECT_EQ(sim::MessageBoxes().size(), 1u);
}

// A path Windows cannot hold (past 32,767 characters, or a name past 255)
// leaves the project unprepared rather than half prepared, and the launch
// goes on; a long path it can hold is prepared whole.
TEST_F(LaunchTest, AProjectIsPreparedWholeOrNotAtAll) {
  std::string deep = "C:";  // room for "3d" in it, not for "3d\\treepics"
  while (deep.size() < 32755)
    deep += "\\" + std::string(std::min<size_t>(200, 32754 - deep.size()), 'f');
  const std::string longFolder = "C:\\" + std::string(250, 'l') + "\\" + std::string(40, 'l');
  for (const std::string& folder : {deep, longFolder}) sim::AddFolder(folder);
  StartVRAN3D<char>(deep.c_str(), "deck");
  StartVRAN3D<char>("C:\\work\\bridge", std::string(252, 'n').c_str());
  EXPECT_EQ(sim::FileSystemWrites(), 0);
  EXPECT_EQ(sim::ShellRequests().size(), 2u);
  StartVRAN3D<char>(longFolder.c_str(), "deck");
  EXPECT_EQ(sim::FileSystemWrites(), 4);
}

TEST_F(LaunchTest, AnExisting3dEntryStopsThePreparation) {
  sim::AddFolder("C:\\work\\bridge\\3D");
  StartVRAN3D<char>("C:\\work\\bridge", "deck");
  sim::AddFile("C:\\work\\other\\3d", "a plain file");
  StartVRAN3D<char>("C:\\work\\other", "deck");
  EXPECT_EQ(sim::FileSystemWrites(), 0);
}

TEST_F(LaunchTest, MissingTemplateStillCreatesTheFolders) {
  sim::Reset();
  sim::AddFolder("C:\\work\\bridge");
  StartVRAN3D<char>("C:\\work\\bridge", "deck");
  EXPECT_TRUE(sim::IsFolder("C:\\work\\bridge\\3d\\images"));
  EXPECT_TRUE(sim::IsFolder("C:\\work\\bridge\\3d\\treepics"));
  EXPECT_FALSE(sim::IsFile("C:\\work\\bridge\\3d\\deck.hvq"));
}

TEST_F(LaunchTest, MissingWorkingFolderCreatesNothingAndShowsOneMessage) {
  StartVRAN3D<char>("C:\\missing", "deck");
  EXPECT_EQ(sim::FileSystemWrites(), 0);
  EXPECT_EQ(Opened(), Strings{"C:\\missing\\deck.hvq"});
  EXPECT_EQ(sim::MessageBoxes(), Strings{kOpenFailed});
  EXPECT_EQ(sim::MessageBoxCodePage(), 936);
}

// Nothing is written for a name that is not a plain file name, nor for an
// empty working folder, nor once another process has put something at
// folder\3d; the launch goes on in every case.
TEST_F(LaunchTest, NothingIsWrittenOutsideTheProject) {
  for (const char* name : {"..\\..\\evil", "../../fwd", "sub\\deep", "C:\\abs", "deck:alt"}) {
    StartVRAN3D<char>("C:\\work\\bridge", name);
    StartVRAN3D<char>("", "deck");
  }
  EXPECT_TRUE(sim::FileCalls().empty());
  EXPECT_EQ(sim::ShellRequests().size(), 10u);

  sim::RaceOnCreate("C:\\work\\bridge\\3d");
  StartVRAN3D<char>("C:\\work\\bridge", "deck");
  EXPECT_EQ(sim::FileCalls(), (Strings{"exists C:\\work\\bridge\\3d", "mkdir C:\\work\\bridge\\3d",
                                       "exists C:\\work\\bridge\\3d"}));
  EXPECT_EQ(sim::FileSystemWrites(), 0);

  // A GBK character whose trail byte has the value of a backslash, and
  // the names "." and "..", are plain names: each is prepared.
  sim::SetCodePage(936);
  const std::string names[] = {"\x81\\", ".", ".."};
  for (const std::string& name : names) {
    sim::Reset();
    sim::SetCodePage(936);
    sim::AddFolder("C:\\p");
    StartVRAN3D<char>("C:\\p", name.c_str());
    EXPECT_EQ(sim::FileCalls(), PreparationCalls("C:\\p\\", name)) << name;
  }
}

// The wide launch: names outside any code page prepared and opened exactly,
// the same extension rules, nothing written for a name that would climb
// out (a lone high surrogate never hides the separator after it).
TEST_F(LaunchTest, WideNamesArePreparedAndOpenedExactly) {
  sim::AddFolder("C:\\работа");
  HvqStartVRAN3DW(u"C:\\работа", u"模型");
  EXPECT_EQ(sim::FileCalls(), PreparationCalls("C:\\работа\\", "模型"));
  HvqStartVRAN3DW(u"C:\\работа", u"模型.hvq");
  HvqStartVRAN3DW(u"C:\\работа\\", nullptr);
  sim::AddWindow(u"V - 模型.hvq");
  HvqStartVRAN3DW(u"C:\\работа", u"模型");
  EXPECT_EQ(Opened(),
            (Strings{"C:\\работа\\模型.hvq", "C:\\работа\\模型.hvq", "C:\\работа\\\\.hvq"}));

  sim::Reset();
  sim::AddFolder("C:\\p");
  for (const char16_t* name : {u"..\\..\\evil", u"a/b", u"x:y", u"\xD800\\evil"})
    HvqStartVRAN3DW(u"C:\\p", name);
  HvqStartVRAN3DW(nullptr, u"deck");
  EXPECT_TRUE(sim::FileCalls().empty());
  HvqStartVRAN3DW(u"C:\\p", u"\xD83D\xDE00");
  EXPECT_EQ(sim::FileCalls(), PreparationCalls("C:\\p\\", "\xF0\x9F\x98\x80"));
}

TEST_F(LaunchTest, NoProgramForTheTypeShowsTheMessage) {
  sim::Reset();
  sim::AddFile("C:\\work\\bridge\\deck.hvq", "doc");
  StartVRAN3D<char>("C:\\work\\bridge", "deck");
  EXPECT_EQ(sim::MessageBoxes(), Strings{kOpenFailed});
}

TEST_F(LaunchTest, OpenProjectIsPreparedButNotOpenedAgain) {
  sim::AddWindow("Viewer - C:\\work\\bridge\\deck.hvq");
  StartVRAN3D<char>("C:\\work\\bridge", "deck");
  EXPECT_TRUE(sim::IsFile("C:\\work\\bridge\\3d\\deck.hvq"));
  EXPECT_TRUE(sim::ShellRequests().empty());
  EXPECT_TRUE(sim::MessageBoxes().empty());
}

TEST_F(LaunchTest, DocumentPathEndsInTheExtensionOnce) {
  sim::AddFolder("C:\\old.hvq\\bridge");
  StartVRAN3D<char>("C:\\work\\bridge", "deck.hvq");
  StartVRAN3D<char>("C:\\old.hvq\\bridge", "deck");
  StartVRAN3D<char>("C:\\work\\bridge", "x.hvq.exe");
  StartVRAN3D<char>("C:\\work\\bridge", "deck.HVQ");
  sim::SetCodePage(936);
  StartVRAN3D<char>("C:\\work\\bridge", "\xB0.hvq");  // the dot is a trail byte here
  EXPECT_EQ(Opened(), (Strings{"C:\\work\\bridge\\deck.hvq", "C:\\old.hvq\\bridge\\deck.hvq",
                               "C:\\work\\bridge\\x.hvq.exe.hvq", "C:\\work\\bridge\\deck.HVQ.hvq",
                               "C:\\work\\bridge\\\xB0.hvq.hvq"}));
  // The template copy always gets the extension appended.
  EXPECT_TRUE(sim::IsFile("C:\\work\\bridge\\3d\\deck.hvq.hvq"));
}

TEST_F(LaunchTest, TrailingBackslashIsPassedOnUnchanged) {
  StartVRAN3D<char>("C:\\work\\bridge\\", "deck");
  EXPECT_EQ(sim::FileCalls(), PreparationCalls("C:\\work\\bridge\\\\", "deck"));
  EXPECT_EQ(Opened(), Strings{"C:\\work\\bridge\\\\deck.hvq"});
}

TEST_F(LaunchTest, BoundaryReleasesEachHostStringOnce) {
  HostString shared("C:\\work\\bridge", 2);
  HostString fixed("deck", -1);
  HvqStartVRAN3D(shared.Arg(), fixed.Arg());
  EXPECT_EQ(shared.Refs(), 1);
  EXPECT_EQ(fixed.Refs(), -1);
  EXPECT_EQ(Opened(), Strings{"C:\\work\\bridge\\deck.hvq"});

  HostString both("C:\\work\\bridge", 3);
  HvqStartVRAN3D(both.Arg(), both.Arg());
  EXPECT_EQ(both.Refs(), 1);

  HostString last("C:\\work\\bridge", 1);  // dropped to 0, the block left alone
  HvqStartVRAN3D(last.Arg(), HvqStringArg{nullptr});
  EXPECT_EQ(last.Refs(), 0);
  EXPECT_EQ(Opened().back(), "C:\\work\\bridge\\.hvq");
  EXPECT_EQ(sim::LiveAllocations(), 1);  // the searched name
}

// The newer hosts' CString: the call drops one reference of each argument
// and hands the last one to the host's manager (Free, its table's second
// entry), after which nothing reads the string (AddressSanitizer sees to
// it); the manager's empty string is never freed.
struct NewerStrings {
  struct Mgr {
    const void* const* vtable;
  };
  struct Header {
    Mgr* pStringMgr;
    int nDataLength, nAllocLength;
    long nRefs;
    char16_t nul;  // an empty string's characters
  };
  static inline int s_frees = 0;
  static void Free(Mgr*, Header* pData) {
    ++s_frees;
    free(pData);
  }
  static inline const void* const c_vtable[2] = {nullptr, reinterpret_cast<const void*>(&Free)};
  static inline Mgr s_mgr = {c_vtable};
  template <typename T>
  static T* Make(const std::basic_string<T>& text, long refs) {
    auto* h = static_cast<Header*>(malloc(offsetof(Header, nul) + (text.size() + 1) * sizeof(T)));
    h->pStringMgr = &s_mgr;
    h->nDataLength = h->nAllocLength = int(text.size());
    h->nRefs = refs;
    memcpy(&h->nul, text.c_str(), (text.size() + 1) * sizeof(T));
    return reinterpret_cast<T*>(&h->nul);
  }
};
extern "C" void HvqStartVRAN3DStringTA(char* folder, char* name);
extern "C" void HvqStartVRAN3DStringTW(char16_t* folder, char16_t* name);

TEST_F(LaunchTest, NewerStringsAreReleasedThroughTheHostsManager) {
  char* kept = NewerStrings::Make<char>("C:\\work\\bridge", 3);
  HvqStartVRAN3DStringTA(kept, kept);                                 // two references of three
  HvqStartVRAN3DStringTA(kept, NewerStrings::Make<char>("deck", 1));  // the last ones
  EXPECT_EQ(NewerStrings::s_frees, 2);
  static NewerStrings::Header nil = {&NewerStrings::s_mgr, 0, 0, 3, 0};  // 2, and one handed out
  HvqStartVRAN3DStringTW(NewerStrings::Make<char16_t>(u"C:\\работа", 1), &nil.nul);
  EXPECT_EQ(NewerStrings::s_frees, 3);
  EXPECT_EQ(nil.nRefs, 2);
  EXPECT_EQ(Opened(), (Strings{"C:\\work\\bridge\\C:\\work\\bridge.hvq",
                               "C:\\work\\bridge\\deck.hvq", "C:\\работа\\.hvq"}));
}

// Every allocation the launch makes is failed in turn: the call returns,
// both host strings are released, nothing leaks and no file is changed.
TEST_F(LaunchTest, OutOfMemoryAtEveryAllocationIsQuietAndHarmless) {
  for (long k = 1;; ++k) {
    SetUp();
    sim::AddFile("C:\\work\\bridge\\deck.hvq", "doc");
    HostString folder("C:\\work\\bridge", 2);
    HostString name("deck", 2);
    sim::FailAllocation(k);
    HvqStartVRAN3D(folder.Arg(), name.Arg());
    const bool failed = sim::Allocations() >= k;
    sim::FailAllocation(0);
    EXPECT_EQ(folder.Refs(), 1);
    EXPECT_EQ(name.Refs(), 1);
    EXPECT_LE(sim::LiveAllocations(), failed ? 1 : 2) << "allocation " << k;  // and the record
    EXPECT_EQ(sim::Contents(kTemplate), kTemplateBytes);
    EXPECT_EQ(sim::Contents("C:\\work\\bridge\\deck.hvq"), "doc");
    if (sim::IsFolder("C:\\work\\bridge\\3d")) {  // never half prepared
      EXPECT_EQ(sim::Contents("C:\\work\\bridge\\3d\\deck.hvq"), kTemplateBytes);
      EXPECT_TRUE(sim::IsFolder("C:\\work\\bridge\\3d\\images"));
      EXPECT_TRUE(sim::IsFolder("C:\\work\\bridge\\3d\\treepics"));
    }
    EXPECT_TRUE(sim::MessageBoxes().empty());
    if (!failed) {
      EXPECT_EQ(sim::ShellRequests().size(), 1u);
      EXPECT_GT(k, 5);
      break;
    }
  }
}

}  // namespace
