{ Stand-in for Delphi's ADODB unit (see Windows.pas). }
unit ADODB;

{$MODE DELPHI}

interface

type
  TADOConnection = class
  public
    ConnectionObject: IUnknown;
  end;

implementation

end.
