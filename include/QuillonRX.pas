{ Quillon.RX.dll: what a Delphi host program needs to call the library.

  The library exports four stdcall functions by name (ordinals in brackets):
    ScanInvoice [1], SetScanMode [2], SelectScanner [3], GetScannerID [4].
  Each takes the host's TScanDLLParams record by value (the whole 48-byte record is pushed); the
  function removes all argument bytes from the stack (48, 56, 60 and 56 bytes). Define
  QRX_IMPORT_BY_ORDINAL to import them by ordinal instead of by name.

  Strings. A TQrxString points at the first byte of a reference-counted block allocated from the
  shared memory manager borlndmm.dll. nil is the empty string. The block starts 8 bytes before the
  pointer: a signed 32-bit reference count (-1: a constant, never counted or freed), then the 32-bit
  length in bytes, then the bytes (code page 936), then a terminating zero. Out strings are returned
  with a count of 1 and belong to the host, which frees them through borlndmm.dll. QrxNewString,
  QrxReleaseString and QrxTakeString below make and free such blocks in any Delphi version. In
  Delphi 7 to 2007 an AnsiString has exactly this layout, so a host that uses ShareMem may put
  Pointer(AnAnsiString) into a slot; Delphi 2009 and later put a code page before the count, so
  their AnsiStrings must not cross the boundary.

  Errors. Failures that the library handles itself are shown to the user and reported through the
  results. An error that ends an operation reaches the caller, after the library has released
  everything the call created, as a Win32 structured exception with code QRX_EXCEPTION_CODE,
  flagged non-continuable, with two arguments:
    ExceptionInformation[0]  PAnsiChar  the message (code page 936, zero-terminated)
    ExceptionInformation[1]  length of the message in bytes
  The message stays readable until the next call into the library. Delphi's run-time library turns
  it into an EExternalException; QrxErrorMessage reads the message from its ExceptionRecord:

    except
      on E: EExternal do
        if QrxErrorMessage(E.ExceptionRecord, Msg) then ShowMessage(Msg) else raise;
    end;

  Bad slots. A HostControl or Connection that is neither form raises the library's error naming the
  slot; the library never calls through a pointer it has not verified. nil (0) means none.

  Page notification. During ScanInvoice the library sends QRX_WM_NEWPAGE (WM_APP + 100 = 32868),
  both parameters 0, to the window HostControl after every page it delivers. }
{$IFDEF FPC}
  {$MODE DELPHI}
{$ENDIF}
unit QuillonRX;

interface

const
  QuillonRXDll = 'Quillon.RX.dll';
  BorlndmmDll = 'borlndmm.dll';

  QRX_WM_NEWPAGE = $8000 + 100; { WM_APP + 100 = 32868 }
  QRX_EXCEPTION_CODE = $E0515258; { customer bit set, 'QRX' }

type
  { A string block of borlndmm.dll, or nil for the empty string. }
  TQrxString = PAnsiChar;
  PQrxString = ^TQrxString;

  TScanDLLParams = packed record
    AppHandle: THandle;      { owner of the library's dialogs and busy window: Application.Handle }
    HostControl: Pointer;    { the host's main window control: parent of message boxes, receiver of
                               QRX_WM_NEWPAGE; its direct child windows are disabled while the busy
                               window is up. Either its window handle (Pointer(Form.Handle)), or the
                               control object itself (Pointer(Form)): the library finds its window by
                               the properties the VCL sets on it ('ControlOfs'..., 'Delphi'...). The
                               window must belong to the calling thread. }
    Reserved8: Pointer;      { not read }
    Reserved12: Pointer;     { not read }
    Connection: Pointer;     { the host's open ADO connection: either its _Connection interface
                               (IID 00000550-0000-0010-8000-00AA006D2EA4), or the address of an object
                               of the host (such as a TADOConnection: Pointer(ADOConnection1)) that
                               holds that interface in one of its first 256 pointer-sized fields.
                               Borrowed: never opened, closed or released by the library. }
    Reserved20: Pointer;     { not read }
    Reserved24: TQrxString;  { held and released like the others, not read }
    Reserved28: TQrxString;  { held and released like the others, not read }
    ConfigFolder: TQrxString; { folder of 'simple.cfg', ending in a backslash }
    ImageFolder: TQrxString;  { folder that receives the page images, ending in a backslash }
    ResultFile: TQrxString;   { full path of the result file }
    OptionsXML: TQrxString;   { the host's options document, as XML text }
  end;
  PScanDLLParams = ^TScanDLLParams;

  { The part of Windows' EXCEPTION_RECORD that QrxErrorMessage reads (the layout of a 32-bit or a
    64-bit process, whichever this is). }
  TQrxExceptionRecord = record
    ExceptionCode: LongWord;
    ExceptionFlags: LongWord;
    ExceptionRecord: Pointer;
    ExceptionAddress: Pointer;
    NumberParameters: LongWord;
    ExceptionInformation: array[0..14] of Pointer;
  end;
  PQrxExceptionRecord = ^TQrxExceptionRecord;

{ The exports. Booleans: a parameter occupies a full slot, of which only the lowest byte is read; a
  result is 0 or 1. Every string the library returns is the host's to free (QrxTakeString). }

{ Scans a stack of invoices: -1, 0 or 2. }
function ScanInvoice(Params: TScanDLLParams): Integer; stdcall;
{ Records a scan mode ('G' roll, 'P' flatbed) for a scanner, without a dialog. }
procedure SetScanMode(Params: TScanDLLParams; ScannerID, ScanMode: TQrxString); stdcall;
{ Lets the user choose the scanner and the scan mode; True when a scanner is selected or was
  chosen. ScannerID and ScanMode must be empty (nil) on entry. }
function SelectScanner(Params: TScanDLLParams; OnlyIfNoneSelected: Boolean; var ScannerID: TQrxString;
  var ScanMode: TQrxString): Boolean; stdcall;
{ The selected scanner; False (and a warning when ShowPrompt) when none is. ScannerID must be
  empty (nil) on entry. }
function GetScannerID(Params: TScanDLLParams; var ScannerID: TQrxString; ShowPrompt: Boolean): Boolean; stdcall;

{ String blocks of borlndmm.dll. }

{ A new block holding Text (count 1), or nil for ''. The host releases it with QrxReleaseString. }
function QrxNewString(const Text: AnsiString): TQrxString;
{ Gives up one reference to S (freeing the block when it was the last) and sets S to nil.
  Constants (count -1) and nil are left alone. }
procedure QrxReleaseString(var S: TQrxString);
{ The text of S, without touching its count. }
function QrxStringText(S: TQrxString): AnsiString;
{ The text of an out string the library returned, which is then released and set to nil. }
function QrxTakeString(var S: TQrxString): AnsiString;

{ The library's error message from the exception record of a structured exception (EExternal's
  ExceptionRecord): True with the message when the exception is the library's, False otherwise. }
function QrxErrorMessage(ExceptionRecord: Pointer; out Msg: AnsiString): Boolean;

implementation

{$IFDEF QRX_IMPORT_BY_ORDINAL}
function ScanInvoice; external QuillonRXDll index 1;
procedure SetScanMode; external QuillonRXDll index 2;
function SelectScanner; external QuillonRXDll index 3;
function GetScannerID; external QuillonRXDll index 4;
{$ELSE}
function ScanInvoice; external QuillonRXDll name 'ScanInvoice';
procedure SetScanMode; external QuillonRXDll name 'SetScanMode';
function SelectScanner; external QuillonRXDll name 'SelectScanner';
function GetScannerID; external QuillonRXDll name 'GetScannerID';
{$ENDIF}

{ The count of a block is shared with the library: it goes down by a locked decrement. }
function InterlockedDecrement(var Addend: Integer): Integer; stdcall; external 'kernel32.dll' name 'InterlockedDecrement';

{ borlndmm.dll's allocator, in Delphi's register convention. }
function BorGetMem(Size: Integer): Pointer; register; external BorlndmmDll name '@Borlndmm@SysGetMem$qqri';
function BorFreeMem(P: Pointer): Integer; register; external BorlndmmDll name '@Borlndmm@SysFreeMem$qqrpv';

type
  TQrxStringHeader = packed record
    RefCount: Integer;
    Length: Integer;
  end;
  PQrxStringHeader = ^TQrxStringHeader;

function Header(S: TQrxString): PQrxStringHeader;
begin
  Result := PQrxStringHeader(S - SizeOf(TQrxStringHeader));
end;

function QrxNewString(const Text: AnsiString): TQrxString;
var
  H: PQrxStringHeader;
begin
  Result := nil;
  if Text = '' then
    Exit;
  H := BorGetMem(SizeOf(TQrxStringHeader) + Length(Text) + 1);
  if H = nil then
    Exit;
  H^.RefCount := 1;
  H^.Length := Length(Text);
  Result := PAnsiChar(H) + SizeOf(TQrxStringHeader);
  Move(PAnsiChar(Text)^, Result^, Length(Text) + 1);
end;

procedure QrxReleaseString(var S: TQrxString);
var
  H: PQrxStringHeader;
begin
  if S = nil then
    Exit;
  H := Header(S);
  S := nil;
  if H^.RefCount < 0 then
    Exit;
  if InterlockedDecrement(H^.RefCount) = 0 then
    BorFreeMem(H);
end;

function QrxStringText(S: TQrxString): AnsiString;
begin
  if S = nil then
    Result := ''
  else
    SetString(Result, S, Header(S)^.Length);
end;

function QrxTakeString(var S: TQrxString): AnsiString;
begin
  Result := QrxStringText(S);
  QrxReleaseString(S);
end;

function QrxErrorMessage(ExceptionRecord: Pointer; out Msg: AnsiString): Boolean;
var
  R: PQrxExceptionRecord;
begin
  Msg := '';
  R := ExceptionRecord;
  Result := (R <> nil) and (R^.ExceptionCode = QRX_EXCEPTION_CODE) and (R^.NumberParameters >= 2) and
    (R^.ExceptionInformation[0] <> nil);
  if Result then
    SetString(Msg, PAnsiChar(R^.ExceptionInformation[0]), Integer(R^.ExceptionInformation[1]));
end;

end.
