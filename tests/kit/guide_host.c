/* The host guide's C code as a host program: the guide's pieces (extracted into guide.c) called the
 * way the guide says, against the i686 product, linked through an import library (by name or by
 * ordinal, as built). Prints what it checks; exits 1 on any failure.
 */
#include "guide.c"

static int g_failures;

static void Check(int Ok, const char* What)
{
  printf("%s  %s\n", Ok ? "ok  " : "FAIL", What);
  if (!Ok)
    ++g_failures;
}

static int Contains(const char* File, const char* Text)
{
  char bytes[4096];
  size_t n;
  FILE* f = fopen(File, "rb");
  if (!f)
    return 0;
  n = fread(bytes, 1, sizeof bytes - 1, f);
  fclose(f);
  bytes[n] = 0;
  return strstr(bytes, Text) != NULL;
}

int main(void)
{
  char folder[MAX_PATH], config[MAX_PATH + 16];
  int (*liveBlocks)(void);
  int before;
  QRX_String s, configFolder;
  TScanDLLParams p;
  TQrxError error;
  static int notAWindow[4];

  Check(LoadBorlndmm(), "borlndmm.dll's allocator, through Quillon.RX.dll's import");
  if (g_failures)
    return 1;
  liveBlocks = (int (*)(void))(void*)GetProcAddress(GetModuleHandleA("borlndmm.dll"), "GetAllocMemCount");
  before = liveBlocks();
  s = QrxNew("C:\\invoices\\");
  Check(s && ((LONG*)s)[-2] == 1 && ((LONG*)s)[-1] == 12 && strcmp(s, "C:\\invoices\\") == 0,
        "QrxNew: count 1, length, bytes");
  Check(QrxNew("") == NULL, "QrxNew: NULL for the empty string");
  QrxRelease(s);
  Check(liveBlocks() == before, "QrxRelease frees the block where it begins");
  QrxRelease(kScanner201);
  Check(((LONG*)kScanner201)[-2] == -1, "QrxRelease leaves a constant alone");

  /* SetScanMode writes the mode into ConfigFolder's simple.cfg: nothing else is needed. */
  GetTempPathA(MAX_PATH, folder);
  snprintf(folder + strlen(folder), MAX_PATH - strlen(folder), "qrx-guide-host-%lu\\", GetCurrentProcessId());
  CreateDirectoryA(folder, NULL);
  configFolder = QrxNew(folder);
  FillRecord(&p, NULL, NULL, NULL, configFolder, NULL, NULL, NULL);
  RecordRollFeedFor201(&p);
  snprintf(config, sizeof config, "%ssimple.cfg", folder);
  Check(Contains(config, "[Scan201]") && Contains(config, "ScanWithADF=1"),
        "SetScanMode (imported) recorded roll feed for scanner 201 in simple.cfg");

  /* A HostControl that is no window: the library's error, caught by the guide's __try/__except. */
  FillRecord(&p, NULL, (HWND)(void*)notAWindow, NULL, configFolder, NULL, NULL, NULL);
  Check(Scan(&p, &error) == -99, "ScanInvoice (imported) raised its error instead of returning");
  Check(strstr(error.Text, "HostControl") != NULL, "the filter took the library's message, naming the slot");
  printf("      the library's message: %s\n", error.Text);

  /* Any other exception passes the filter by. */
  {
    int caught = 0, outer = 0;
    __try {
      __try {
        RaiseException(0xE0001234u, 0, 0, NULL);
      } __except (QrxFilter(GetExceptionInformation(), &error)) {
        caught = 1;
      }
    } __except (EXCEPTION_EXECUTE_HANDLER) {
      outer = 1;
    }
    Check(!caught && outer, "QrxFilter lets an exception that is not the library's go on");
  }

  {
    HMODULE library = GetModuleHandleA("Quillon.RX.dll");
    QRX_ScanInvoice byName = FindScanInvoice(library, FALSE), byOrdinal = FindScanInvoice(library, TRUE);
    Check(byName && byName == byOrdinal, "GetProcAddress: ScanInvoice by name and by ordinal 1");
    Check(byName == ScanInvoice, "the import library's ScanInvoice is the export");
  }
  /* A Connection that is no ADO connection: GetScannerID's error, through the same filter. */
  {
    char id[64] = "unchanged";
    int raised = 0;
    FillRecord(&p, NULL, NULL, (void*)notAWindow, configFolder, NULL, NULL, NULL);
    __try {
      SelectedScanner(&p, id, sizeof id);
    } __except (QrxFilter(GetExceptionInformation(), &error)) {
      raised = 1;
    }
    Check(raised && strstr(error.Text, "Connection") != NULL, "GetScannerID (imported) raised its error naming the slot");
  }

  QrxRelease(configFolder);
  DeleteFileA(config);
  RemoveDirectoryA(folder);
  printf(g_failures ? "guide host: %d check(s) failed\n" : "guide host: every check passed\n", g_failures);
  return g_failures ? 1 : 0;
}
