{ Stand-in for Delphi's Forms unit (see Windows.pas). }
unit Forms;

{$MODE DELPHI}

interface

uses
  Windows;

type
  TForm = class
  public
    Handle: HWND;
    Caption: string;
  end;

  TApplication = class
  public
    Handle: HWND;
  end;

var
  Application: TApplication;

implementation

end.
