// A host session through Quillon.RX.dll, for a newcomer to watch: an invoicing program's window, a
// scanner catalogue in a real database behind ADO, our engine simulator as ScanReco.dll with a small
// stack of invoices, and the library's exports called the way an invoicing application calls them.
//
//   DemoHost.exe          the host window waits for you: choose a scanner, scan, close the window
//   DemoHost.exe --auto   the host chooses scanner 201 in roll mode through the real dialog (driven by
//                         its own hook, as a user would click), scans, answers every message box,
//                         and saves a screenshot of its window as demo-host.png
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "BoxRecorder.h"
#include "DialogDriver.h"
#include "Screenshot.h"
#include "TestDatabase.h"
#include "TestHost.h"
#include "TestScan.h"

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

// What this host makes of the eight fields of a page.
const char* const kFieldNames[8] = {"发票代码", "发票号码", "开票日期", "购方地址电话", "购方税号", "金额", "购方名称", "销方名称"};

// The sample stack: four invoices, as the engine recognises them.
const char kScenario[] =
    "# A stack of four VAT invoices, then the end of the stack.\n"
    "page\ndelay 400\nimage-path %ENGINE%out\\page.tif\n"
    "info1 1100052140\ninfo2 05321776\ninfo3 20261208\ninfo4 北京市海淀区中关村大街1号 010-62345678\n"
    "info5 91110108MA01ABCD3X\ninfo6 11700.00\ninfo7 北京云帆科技有限公司\ninfo8 上海华东纸业有限公司\n"
    "page\ndelay 400\nimage-path %ENGINE%out\\page.tif\n"
    "info1 1100052140\ninfo2 05321777\ninfo3 20261208\ninfo4 天津市南开区卫津路92号 022-23501234\n"
    "info5 91120104MA05XYZW1K\ninfo6 3580.50\ninfo7 天津北方机电设备公司\ninfo8 上海华东纸业有限公司\n"
    "page\ndelay 400\nimage-path %ENGINE%out\\page.tif\n"
    "info1 3100061130\ninfo2 00418263\ninfo3 20261209\ninfo4 上海市浦东新区世纪大道100号 021-58881234\n"
    "info5 91310115MA1K4QRS2P\ninfo6 980.00\ninfo7 上海明远办公用品有限公司\ninfo8 杭州西湖印务有限公司\n"
    "page\ndelay 400\nimage-path %ENGINE%out\\page.tif\n"
    "info1 4400071620\ninfo2 17730045\ninfo3 20261210\ninfo4 广州市天河区体育西路8号 020-38765432\n"
    "info5 91440106MA59LMNO7T\ninfo6 26400.00\ninfo7 广州南粤物流股份有限公司\ninfo8 深圳鹏程电子有限公司\n"
    "status 2 delay 300\n";

std::string Replace(std::string Text, const std::string& What, const std::string& With)
{
  for (size_t p = Text.find(What); p != std::string::npos; p = Text.find(What, p + With.size()))
    Text.replace(p, What.size(), With);
  return Text;
}

// The nine lines of the result file.
std::vector<std::string> Lines(const std::string& Text)
{
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t p = Text.find("\r\n"); p != std::string::npos; p = Text.find("\r\n", start)) {
    lines.push_back(Text.substr(start, p - start));
    start = p + 2;
  }
  return lines;
}

class TDemo {
public:
  explicit TDemo(bool Auto) : FAuto(Auto)
  {
    for (const char* name : {"Fujitsu\\fi6130.ds", "Canon\\dr2580c.ds", "Panasonic\\kvs2025.ds", "Unis\\u601.ds"})
      FScan.AddDriverFile(name);
    FDb = std::make_unique<TTestDatabase>(std::vector<TScannerRow>{
        {"201", 150, "富士通", "fi-6130", "G", 0, "Fujitsu\\fi6130.ds"},
        {"205", 160, "佳能", "DR-2580C", "", 0, "Canon\\dr2580c.ds"},
        {"401", 170, "松下", "KV-S2025C", "G", 1, "Panasonic\\kvs2025.ds"},
        {"601", 180, "紫光", "U601", "P", 0, "Unis\\u601.ds"},
        {"702", 190, "惠普", "ScanJet 5590", "", 0, "HP\\sj5590.ds"},  // no driver installed: not offered
        {"X01", 100, "测试扫描仪", "X", "P", 0, ""},
    });
    TTestScan::WriteFileBytes(FScan.ConfigFile(),
                              "[Scan]\r\nScanWithADF=1\r\n[Scan201]\r\nScanThread_2K=2\r\n[Scan205]\r\nScanWithADF=0\r\n");
    FScan.Scenario(Replace(kScenario, "%ENGINE%", FScan.EngineFolder));

    THostParams hp = FScan.Params(FDb->HostConnection());
    hp.OptionsXML = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<发票系统><Options><ScnrList>*</ScnrList></Options></发票系统>";
    FParams = FHost.Record(hp);
    // The VCL way: the host passes its own control object, not the window handle.
    FParams.HostControl = FHost.HostControlObject();

    SetWindowTextW(FHost.MainWindow(), L"增值税发票录入 - Quillon.RX 演示");
    const std::vector<HWND>& children = FHost.ChildControls();
    MoveWindow(children[1], 10, 10, 120, 28, TRUE);   // 选择扫描仪
    MoveWindow(children[0], 140, 10, 120, 28, TRUE);  // 扫描
    MoveWindow(children[2], 270, 12, 340, 24, TRUE);
    SetWindowTextW(children[2], L"收到的发票会列在下面");
    SendMessageW(children[2], EM_SETREADONLY, TRUE, 0);
    FList = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT,
                            10, 48, 600, 380, FHost.HostControl(), nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(FList, WM_SETFONT, SendMessageW(children[0], WM_GETFONT, 0, 0), TRUE);

    FHost.OnPage = [this] { PageArrived(); };
    FHost.OnCommand = [this](int Id) {
      if (Id == 101)
        Select();
      else if (Id == 100)
        Scan();
    };
    if (FAuto) {
      FBoxes = std::make_unique<TBoxRecorder>();
      FBoxes->OnBox = [](const TBoxRecord& b) { Say(L"  [消息框] " + b.Caption + L": " + b.Text); };
      FBoxes->OnDialog = [this](HWND Window) { return ChooseInDialog(Window); };
    }
  }

  int Run()
  {
    Say(L"Quillon.RX 演示宿主 (code page " + std::to_wstring(GetACP()) + L")");
    ReportSelected();
    if (!FAuto) {
      Say(L"在宿主窗口中点“选择扫描仪”，再点“扫描”；关闭窗口即结束。");
      MSG msg;
      while (IsWindow(FHost.MainWindow()) && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        if (!IsWindowVisible(FHost.MainWindow()))
          break;
      }
      return 0;
    }
    Select();
    Scan();
    const std::wstring png = TestOutputPath(L"demo-host.png");
    // Let the window repaint where the last message box stood.
    for (int i = 0; i < 20; ++i) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      Sleep(10);
    }
    if (SaveWindowPng(FHost.MainWindow(), png))
      Say(L"宿主窗口的截图: " + png);
    return FPages == 4 ? 0 : 1;
  }

private:
  void ReportSelected()
  {
    THostString id;
    THostException e = CallCatchingLibraryError([&] {
      const int selected = FHost.GetScannerID(FParams, &id.S, false);
      Say("GetScannerID -> " + std::to_string(selected) + ", 扫描仪 \"" + id.Text() + "\"");
    });
    if (e.Raised)
      Say("  库报告错误: " + e.Message);
  }

  void Select()
  {
    Say(L"SelectScanner: 打开选择扫描仪对话框");
    THostString id, mode;
    THostException e = CallCatchingLibraryError([&] {
      const int chosen = FHost.SelectScanner(FParams, false, &id.S, &mode.S);
      Say("SelectScanner -> " + std::to_string(chosen) + ", 扫描仪 \"" + id.Text() + "\", 扫描方式 \"" + mode.Text() + "\"");
    });
    if (e.Raised)
      Say("  库报告错误: " + e.Message);
  }

  void Scan()
  {
    Say(L"ScanInvoice: 扫描一叠发票");
    FPages = 0;
    SendMessageW(FList, LB_RESETCONTENT, 0, 0);
    THostException e = CallCatchingLibraryError([&] {
      const int result = FHost.ScanInvoice(FParams);
      Say("ScanInvoice -> " + std::to_string(result) + ", " + std::to_string(FPages) + " 张发票");
    });
    if (e.Raised)
      Say("  库报告错误: " + e.Message);
  }

  // The host's handler of the page message: the result file and the page image are complete now.
  void PageArrived()
  {
    ++FPages;
    const std::vector<std::string> lines = Lines(TTestScan::FileBytes(FScan.ResultFile));
    if (lines.size() != 9) {
      Say(L"  结果文件不完整!");
      return;
    }
    const std::string image = lines[0].substr(lines[0].find('.') + 1) + ".tif";
    bool exists = false;
    const std::string bytes = TTestScan::FileBytes(FScan.ImageFolder + image, &exists);
    Say("第 " + std::to_string(FPages) + " 张: " + lines[0] + "  图像 " + image + " (" + std::to_string(bytes.size()) +
        " 字节" + (exists ? "" : ", 缺失") + ")");
    for (int i = 0; i < 8; ++i)
      Say(std::string("    ") + kFieldNames[i] + ": " + lines[static_cast<size_t>(i) + 1]);
    const std::string row = std::to_string(FPages) + ".  " + lines[2] + "  " + lines[3] + "  " + lines[7] + "  金额 " +
                            lines[6] + "  " + image;
    SendMessageA(FList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
  }

  // --auto: in the select-scanner dialog, choose 富士通 (201) and roll scanning, then OK; the
  // question that follows is answered Yes.
  bool ChooseInDialog(HWND Window)
  {
    if (TBoxRecorder::IsMessageBox(Window) || Window == FHost.MainWindow())
      return false;
    HWND combo = FindWindowExW(Window, nullptr, L"ComboBox", nullptr);
    if (!combo)
      return false;
    const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      wchar_t text[128] = {};
      SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
      if (std::wcsncmp(text, L"富士通", 3) == 0) {
        SendMessageW(combo, CB_SETCURSEL, i, 0);
        SendMessageW(Window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
      }
    }
    for (HWND b = FindWindowExW(Window, nullptr, L"Button", nullptr); b; b = FindWindowExW(Window, b, L"Button", nullptr)) {
      wchar_t text[32] = {};
      GetWindowTextW(b, text, 32);
      if (std::wcscmp(text, L"滚动扫描") == 0)
        SendMessageW(b, BM_CLICK, 0, 0);
    }
    RedrawWindow(Window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    RunDialogQueue(Window);
    Sleep(100);
    SaveWindowPng(Window, TestOutputPath(L"demo-select-scanner.png"));
    FBoxes->Answer(TBoxAnswer::Click(IDYES));
    // A click on the OK button itself (taken in the dialog's loop): a bare command for OK is no click.
    PostMessageW(GetDlgItem(Window, IDOK), BM_CLICK, 0, 0);
    return true;
  }

  bool FAuto;
  TTestScan FScan;
  std::unique_ptr<TTestDatabase> FDb;
  TTestHost FHost;
  std::unique_ptr<TBoxRecorder> FBoxes;
  TScanDLLParams FParams = {};
  HWND FList = nullptr;
  int FPages = 0;
};

}  // namespace

int main(int argc, char** argv)
{
  const bool autoRun = argc > 1 && std::strcmp(argv[1], "--auto") == 0;
  try {
    TDemo demo(autoRun);
    return demo.Run();
  } catch (const std::exception& e) {
    Say(std::string("demo failed: ") + e.what());
    return 1;
  }
}
