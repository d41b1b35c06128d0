{ Checks include/QuillonRX.pas against include/QuillonRX.h: the record's size and every field's
  offset, the constants, the exception record QrxErrorMessage reads (all from layout-expected.inc,
  which pascal_check.py writes from the C compiler's view of the header), and the string helpers,
  with this program standing in for borlndmm.dll and kernel32.dll. Exits 1 on any failure. }
program LayoutCheck;

{$MODE DELPHI}

uses
  QuillonRX;

var
  Failures: Integer = 0;

procedure Check(const What: AnsiString; Got, Expected: Int64);
begin
  if Got = Expected then
    WriteLn('ok    ', What, ' = ', Got)
  else
  begin
    WriteLn('FAIL  ', What, ' = ', Got, ', expected ', Expected);
    Inc(Failures);
  end;
end;

procedure CheckText(const What, Got, Expected: AnsiString);
begin
  if Got = Expected then
    WriteLn('ok    ', What)
  else
  begin
    WriteLn('FAIL  ', What, ': "', Got, '", expected "', Expected, '"');
    Inc(Failures);
  end;
end;

{ borlndmm.dll and kernel32.dll as the unit calls them: the blocks handed out and taken back. }
var
  LiveBlocks: Integer = 0;
  LastFreed: Pointer = nil;
  Decrements: Integer = 0;

function FakeGetMem(Size: Integer): Pointer; register; public name '@Borlndmm@SysGetMem$qqri';
begin
  GetMem(Result, Size);
  FillChar(Result^, Size, $CC);
  Inc(LiveBlocks);
end;

function FakeFreeMem(P: Pointer): Integer; register; public name '@Borlndmm@SysFreeMem$qqrpv';
begin
  LastFreed := P;
  FreeMem(P);
  Dec(LiveBlocks);
  Result := 0;
end;

function FakeInterlockedDecrement(var Addend: Integer): Integer; stdcall; public name 'InterlockedDecrement';
begin
  Inc(Decrements);
  Dec(Addend);
  Result := Addend;
end;

procedure CheckLayout;
var
  P: PScanDLLParams;
  R: PQrxExceptionRecord;
begin
  P := nil;
  R := nil;
  {$I layout-expected.inc}
end;

procedure CheckErrorMessage;
const
  Text: AnsiString = 'Quillon.RX: cannot write C:\result.txt';
var
  R: TQrxExceptionRecord;
  Msg: AnsiString;
begin
  FillChar(R, SizeOf(R), 0);
  R.ExceptionCode := QRX_EXCEPTION_CODE;
  R.ExceptionFlags := 1;
  R.NumberParameters := 2;
  R.ExceptionInformation[0] := PAnsiChar(Text);
  R.ExceptionInformation[1] := Pointer(PtrUInt(Length(Text) - 6)); { the length counts, not the zero }
  Check('QrxErrorMessage: the library''s exception', Ord(QrxErrorMessage(@R, Msg)), 1);
  CheckText('QrxErrorMessage: the message by its length', Msg, Copy(Text, 1, Length(Text) - 6));
  R.ExceptionCode := $C0000005;
  Check('QrxErrorMessage: an access violation is not the library''s', Ord(QrxErrorMessage(@R, Msg)), 0);
  CheckText('QrxErrorMessage: no message for it', Msg, '');
  R.ExceptionCode := QRX_EXCEPTION_CODE;
  R.NumberParameters := 1;
  Check('QrxErrorMessage: one argument is not enough', Ord(QrxErrorMessage(@R, Msg)), 0);
  Check('QrxErrorMessage: no record', Ord(QrxErrorMessage(nil, Msg)), 0);
end;

procedure CheckStrings;
var
  S, Copy2: TQrxString;
  Block: Pointer;
  Constant: packed record
    RefCount, Length: Integer;
    Chars: array[0..3] of AnsiChar;
  end;
begin
  S := QrxNewString('C:\invoices\');
  Block := S - 8;
  Check('QrxNewString: one block', LiveBlocks, 1);
  Check('QrxNewString: count 1 at -8', PInteger(Block)^, 1);
  Check('QrxNewString: length at -4', PInteger(S - 4)^, 12);
  CheckText('QrxNewString: the bytes', QrxStringText(S), 'C:\invoices\');
  Check('QrxNewString: a terminating zero', Ord(S[12]), 0);
  Check('QrxNewString: nil for ''''', PtrUInt(QrxNewString('')), 0);

  { The library took a reference too: the host's release leaves the block to it. }
  Inc(PInteger(Block)^);
  Copy2 := S;
  QrxReleaseString(S);
  Check('QrxReleaseString: sets the variable to nil', PtrUInt(S), 0);
  Check('QrxReleaseString: a block still held stays', LiveBlocks, 1);
  CheckText('QrxTakeString: the text of the last reference', QrxTakeString(Copy2), 'C:\invoices\');
  Check('QrxTakeString: frees the block where it begins', PtrUInt(LastFreed), PtrUInt(Block));
  Check('QrxTakeString: no block left', LiveBlocks, 0);
  Check('QrxTakeString: sets the variable to nil', PtrUInt(Copy2), 0);

  Constant.RefCount := -1;
  Constant.Length := 3;
  Constant.Chars := 'abc'#0;
  S := @Constant.Chars;
  Decrements := 0;
  QrxReleaseString(S);
  Check('QrxReleaseString: a constant keeps its count', Constant.RefCount, -1);
  Check('QrxReleaseString: a constant is never decremented', Decrements, 0);
  S := nil;
  QrxReleaseString(S);
  CheckText('QrxStringText: nil is the empty string', QrxStringText(nil), '');
end;

begin
  CheckLayout;
  CheckErrorMessage;
  CheckStrings;
  if Failures > 0 then
  begin
    WriteLn(Failures, ' check(s) failed');
    Halt(1);
  end;
  WriteLn('QuillonRX.pas matches QuillonRX.h');
end.
