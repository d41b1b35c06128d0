{ Stand-ins for the parts of Delphi's units that the host guide's Delphi code uses, so that Free
  Pascal compiles that code for i386 Linux: declarations only, nothing runs. }
unit Windows;

{$MODE DELPHI}

interface

uses
  SysUtils;

type
  HWND = THandle;

  { Delphi's EExternal carries the exception record (Free Pascal's only on Windows). }
  TExternalExceptionRecord = class helper for EExternal
    function GetExceptionRecord: Pointer;
    property ExceptionRecord: Pointer read GetExceptionRecord;
  end;

implementation

function TExternalExceptionRecord.GetExceptionRecord: Pointer;
begin
  Result := nil;
end;

end.
