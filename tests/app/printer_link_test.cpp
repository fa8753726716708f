// Tests of the printer-driver link against a stand-in spooler that has the
// printer "Norvalisk", and against Wine's real spooler, which has none.
#include "app/printer_link.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

const HANDLE kPrinter = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x4e56));
constexpr char kExePath[] = "C:\\Program Files\\Norvalisk\\Norvalisk.exe";
constexpr char kFolder[] = "C:\\Program Files\\Norvalisk";

// One value written through the spooler.
struct Written {
  std::string key;
  std::string value;
  DWORD type;
  std::string bytes;
};

// One message box shown.
struct Box {
  HWND owner;
  std::string text;
  std::string caption;
  UINT type;
};

// The spooler of a machine with (or without) the printer, and what the link did to it.
struct FakeSpooler {
  bool hasPrinter = true;
  std::map<std::string, std::string> stored;  // value name -> bytes under NORVALISK_APP
  std::vector<std::string> calls;
  std::string openedName;
  std::optional<PRINTER_DEFAULTSA> defaults;
  std::vector<Written> writes;
  std::vector<Box> boxes;
  bool foreignHandle = false;  // a call got a handle other than the one opened
};

FakeSpooler* g_spooler;

BOOL WINAPI FakeOpen(LPSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults) {
  g_spooler->calls.push_back("open");
  g_spooler->openedName = name ? name : "(null)";
  if (defaults) {
    g_spooler->defaults = *defaults;
  }
  if (!g_spooler->hasPrinter) {
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return FALSE;
  }
  *printer = kPrinter;
  return TRUE;
}

DWORD WINAPI FakeGet(HANDLE printer, LPCSTR key, LPCSTR value, LPDWORD type, LPBYTE data,
                     DWORD size, LPDWORD needed) {
  g_spooler->calls.push_back(std::string("get ") + key + "\\" + value);
  g_spooler->foreignHandle |= printer != kPrinter;
  const auto found = g_spooler->stored.find(value);
  if (std::string(key) != "NORVALISK_APP" || found == g_spooler->stored.end()) {
    return ERROR_FILE_NOT_FOUND;
  }
  *needed = static_cast<DWORD>(found->second.size());
  if (found->second.size() > size) {
    return ERROR_MORE_DATA;
  }
  *type = REG_SZ;
  std::memcpy(data, found->second.data(), found->second.size());
  return ERROR_SUCCESS;
}

DWORD WINAPI FakeSet(HANDLE printer, LPCSTR key, LPCSTR value, DWORD type, LPBYTE data,
                     DWORD size) {
  g_spooler->calls.push_back(std::string("set ") + key + "\\" + value);
  g_spooler->foreignHandle |= printer != kPrinter;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  g_spooler->writes.push_back({key, value, type, bytes});
  g_spooler->stored[value] = bytes;
  return ERROR_SUCCESS;
}

BOOL WINAPI FakeClose(HANDLE printer) {
  g_spooler->calls.push_back("close");
  g_spooler->foreignHandle |= printer != kPrinter;
  return TRUE;
}

int WINAPI FakeMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  g_spooler->boxes.push_back({owner, text, caption, type});
  return IDOK;
}

constexpr SpoolerCalls kFakeCalls = {FakeOpen, FakeGet, FakeSet, FakeClose, FakeMessageBox};

class PrinterLinkTest : public ::testing::Test {
 protected:
  void SetUp() override { g_spooler = &spooler_; }
  void TearDown() override { g_spooler = nullptr; }

  void Link() { LinkPrinterDriverWith(kFakeCalls, kExePath, kFolder); }

  FakeSpooler spooler_;
};

// ---- Which values are written, and the one box -------------------------------------

struct LinkCase {
  const char* label;
  std::optional<std::string> storedPath;
  std::optional<std::string> storedFolder;
  bool writesPath;
  bool writesFolder;
};

TEST_F(PrinterLinkTest, WritesOnlyMissingOrShortValuesAndShowsOneBox) {
  const LinkCase cases[] = {
      {"both missing", std::nullopt, std::nullopt, true, true},
      {"path missing, folder present", std::nullopt, "C:\\x", true, false},
      {"path of 11 characters", "C:\\Norvali\\", "C:\\x", true, false},
      {"path of 12 characters names another program", "D:\\elsewhere", "C:\\x", false, false},
      {"path too long for the read buffer", std::string(600, 'p'), "C:\\x", true, false},
      {"folder C: kept", "D:\\elsewhere", "C:", false, false},
      {"folder of one character", "D:\\elsewhere", "C", false, true},
      {"folder empty", "D:\\elsewhere", "", false, true},
  };
  for (const LinkCase& c : cases) {
    SCOPED_TRACE(c.label);
    spooler_ = FakeSpooler();
    if (c.storedPath) spooler_.stored["APP_PATH"] = *c.storedPath;
    if (c.storedFolder) spooler_.stored["APP_FOLDER"] = *c.storedFolder;

    Link();

    std::vector<std::string> calls = {"open", "get NORVALISK_APP\\APP_PATH"};
    std::vector<Written> expected;
    if (c.writesPath) {
      calls.push_back("set NORVALISK_APP\\APP_PATH");
      expected.push_back({"NORVALISK_APP", "APP_PATH", REG_SZ, kExePath});
    }
    calls.push_back("get NORVALISK_APP\\APP_FOLDER");
    if (c.writesFolder) {
      calls.push_back("set NORVALISK_APP\\APP_FOLDER");
      expected.push_back({"NORVALISK_APP", "APP_FOLDER", REG_SZ, kFolder});
    }
    calls.push_back("close");
    EXPECT_EQ(spooler_.calls, calls);
    ASSERT_EQ(spooler_.writes.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(spooler_.writes[i].key, expected[i].key);
      EXPECT_EQ(spooler_.writes[i].value, expected[i].value);
      EXPECT_EQ(spooler_.writes[i].type, static_cast<DWORD>(REG_SZ));
      // The text without its terminating NUL.
      EXPECT_EQ(spooler_.writes[i].bytes, expected[i].bytes);
    }
    EXPECT_EQ(spooler_.boxes.size(), expected.empty() ? 0u : 1u);
    EXPECT_FALSE(spooler_.foreignHandle);
  }
}

TEST_F(PrinterLinkTest, OpensTheDriversPrinterWithFullAccess) {
  Link();
  EXPECT_EQ(spooler_.openedName, "Norvalisk");
  ASSERT_TRUE(spooler_.defaults.has_value());
  EXPECT_EQ(spooler_.defaults->pDatatype, nullptr);
  EXPECT_EQ(spooler_.defaults->pDevMode, nullptr);
  EXPECT_EQ(spooler_.defaults->DesiredAccess, 0x000F000Cu);
}

TEST_F(PrinterLinkTest, TheBoxIsAnInformationWithoutOwner) {
  Link();
  ASSERT_EQ(spooler_.boxes.size(), 1u);
  const Box& box = spooler_.boxes[0];
  EXPECT_EQ(box.owner, nullptr);
  EXPECT_EQ(box.text, "プリンタドライパ連携を初期化しました。");
  EXPECT_EQ(box.caption, "Norvalisk version 1.0J");
  EXPECT_EQ(box.type, static_cast<UINT>(MB_ICONINFORMATION | MB_OK));
  // Shown after the printer is closed, so the spooler is not held while the user reads.
  EXPECT_EQ(spooler_.calls.back(), "close");
}

TEST_F(PrinterLinkTest, SecondStartFindsTheValuesAndStaysQuiet) {
  Link();
  ASSERT_EQ(spooler_.writes.size(), 2u);
  spooler_.writes.clear();
  spooler_.boxes.clear();
  Link();
  EXPECT_TRUE(spooler_.writes.empty());
  EXPECT_TRUE(spooler_.boxes.empty());
}

TEST_F(PrinterLinkTest, NoPrinterMeansNoOtherCallAndNoBox) {
  spooler_.hasPrinter = false;
  Link();
  EXPECT_EQ(spooler_.calls, std::vector<std::string>{"open"});
  EXPECT_TRUE(spooler_.boxes.empty());
}

TEST_F(PrinterLinkTest, EmptyOwnPathsAreNotStored) {
  LinkPrinterDriverWith(kFakeCalls, "", "");
  EXPECT_TRUE(spooler_.writes.empty());
  EXPECT_TRUE(spooler_.boxes.empty());
}

// Wine's spooler has no printer "Norvalisk": the real link writes nothing and
// shows nothing. Only the writing and the box are intercepted.
TEST_F(PrinterLinkTest, RealSpoolerWithoutThePrinterIsSilent) {
  HANDLE printer = nullptr;
  char name[] = "Norvalisk";
  ASSERT_FALSE(RealSpoolerCalls().openPrinter(name, &printer, nullptr))
      << "this machine has a printer named Norvalisk";
  SpoolerCalls calls = RealSpoolerCalls();
  calls.setPrinterDataEx = FakeSet;
  calls.messageBox = FakeMessageBox;
  LinkPrinterDriverWith(calls, kExePath, kFolder);
  EXPECT_TRUE(spooler_.writes.empty());
  EXPECT_TRUE(spooler_.boxes.empty());
}

}  // namespace
