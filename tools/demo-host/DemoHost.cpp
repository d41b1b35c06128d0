// A host session through Quillon.RX.dll, for a newcomer to watch: a host window, a scanner catalogue
// in a real database behind ADO, and the library's exports called the way an invoicing application
// calls them. With --auto every message box is answered by itself and reported on the console.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "BoxRecorder.h"
#include "TestDatabase.h"
#include "TestHost.h"

namespace {

// The console of a wine program is a Unix terminal: print UTF-8.
void Say(const std::wstring& Text)
{
  int n = WideCharToMultiByte(CP_UTF8, 0, Text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, Text.c_str(), -1, utf8.data(), n, nullptr, nullptr);
  std::printf("%s\n", utf8.c_str());
  std::fflush(stdout);
}
void Say(const std::string& Gbk) { Say(Wide(Gbk)); }

std::string TempFolder(const char* Name)
{
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  std::string path = std::string(dir) + Name + "\\";
  CreateDirectoryA(path.c_str(), nullptr);
  return path;
}

void ReportSelected(TTestHost& Host, const TScanDLLParams& P, bool ShowPrompt)
{
  QRX_String id = nullptr;
  THostException e = CallCatchingLibraryError([&] {
    int selected = Host.GetScannerID(P, &id, ShowPrompt);
    Say("  GetScannerID -> " + std::to_string(selected) + ", scanner id \"" + THostStrings::Text(id) + "\"");
  });
  if (e.Raised)
    Say("  the library raised: " + e.Message);
  THostStrings::Release(id);
}

}  // namespace

int main(int argc, char** argv)
{
  const bool autoAnswer = argc > 1 && std::strcmp(argv[1], "--auto") == 0;
  try {
    Say(L"Quillon.RX demo host (code page " + std::to_wstring(GetACP()) + L")");
    TTestDatabase db({
        {"201", 201, "富士通", "fi-6130", "G", 0, "Fjtw\\fjtw.ds"},
        {"205", 205, "佳能", "DR-2580C", "", 0, "Canon\\dr2580.ds;Canon\\dr2580c.ds"},
        {"401", 150, "松下", "KV-S2025C", "G", 1, "Panasonic\\kvs2025.ds"},
        {"X01", 100, "测试扫描仪", "X", "P", 0, ""},
    });
    TTestHost host;
    std::unique_ptr<TBoxRecorder> boxes;
    if (autoAnswer) {
      boxes = std::make_unique<TBoxRecorder>();
      boxes->OnBox = [](const TBoxRecord& b) { Say(L"  [message box] " + b.Caption + L": " + b.Text); };
    }

    THostParams hp;
    hp.Connection = db.HostConnection();
    hp.ConfigFolder = TempFolder("quillon-demo-config");
    hp.ImageFolder = TempFolder("quillon-demo-images");
    hp.ResultFile = hp.ImageFolder + "result.txt";
    hp.OptionsXML = "<?xml version=\"1.0\" encoding=\"GBK\"?><Options><ScnrList>+201;205;401</ScnrList></Options>";
    TScanDLLParams p = host.Record(hp);

    Say("The catalogue has scanner 401 selected:");
    ReportSelected(host, p, true);

    Say("The user clears the selection; the host asks again, with the prompt:");
    db.Exec("UPDATE B_Scanner SET FSelect = 0");
    ReportSelected(host, p, true);

    Say("What the library asked the database:");
    for (const std::string& sql : db.Statements())
      Say("  " + sql);
  } catch (const std::exception& e) {
    Say(std::string("demo failed: ") + e.what());
    return 1;
  }
  return 0;
}
